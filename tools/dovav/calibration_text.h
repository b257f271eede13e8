// A second look at calibration text files. The loaders only return a result
// code; these read the text again to name the line or count that made a file
// fail. They explain a verdict, the loader's result decides it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace dovav {

inline bool isBlankLine(const std::string& line)
{
    return line.find_first_not_of(" \t\r\v\f") == std::string::npos;
}

// The next line without its line feed and a carriage return before it.
inline bool readCalibrationLine(std::istream& in, std::string& line)
{
    if (!std::getline(in, line))
        return false;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return true;
}

// Fields are the runs of characters other than ';'.
inline std::vector<std::string> fieldsOf(const std::string& line)
{
    std::vector<std::string> fields;
    size_t begin = line.find_first_not_of(';');
    while (begin != std::string::npos) {
        size_t end = line.find(';', begin);
        if (end == std::string::npos)
            end = line.size();
        fields.push_back(line.substr(begin, end - begin));
        begin = line.find_first_not_of(';', end);
    }
    return fields;
}

// Fields of the first data line that is not blank; 0 if there is none.
inline size_t firstDataLineFields(const char* path)
{
    std::ifstream in(path);
    std::string line;
    readCalibrationLine(in, line);  // the header
    while (readCalibrationLine(in, line)) {
        if (!isBlankLine(line))
            return fieldsOf(line).size();
    }
    return 0;
}

enum class MeshFile { Warpmap, ScreenShape };

// Why a warp map or screen shape does not fill its grid; empty if the text
// shows nothing wrong.
inline std::string explainMeshFile(const char* path, MeshFile kind)
{
    std::ifstream in(path);
    std::string line;
    if (!readCalibrationLine(in, line))
        return "the file is empty";
    const size_t needed = kind == MeshFile::Warpmap ? 6 : 7;
    uint64_t points = 0;
    uint64_t columns = 0;
    uint64_t rows = 0;
    for (size_t number = 2; readCalibrationLine(in, line); ++number) {
        if (isBlankLine(line))
            continue;
        const std::vector<std::string> fields = fieldsOf(line);
        if (fields.size() < needed)
            return "line " + std::to_string(number) + " has " + std::to_string(fields.size()) +
                   " field(s), at least " + std::to_string(needed) + " expected";
        // Column and row: fields 5 and 6 of a warp map, the last two of a screen shape.
        const size_t column = kind == MeshFile::Warpmap ? 4 : fields.size() - 2;
        auto index = [&](size_t field) {
            return uint64_t(static_cast<uint32_t>(std::strtol(fields[field].c_str(), nullptr, 10)));
        };
        columns = std::max(columns, index(column) + 1);
        rows = std::max(rows, index(column + 1) + 1);
        ++points;
    }
    if (points == 0)
        return "no data lines after the header";
    if (points != columns * rows)
        return std::to_string(points) + " point(s) do not fill the " + std::to_string(columns) +
               "x" + std::to_string(rows) + " grid their column and row indices span";
    return "";
}

// Why a camera or target rectangle file (a header and one data line of at
// least `needed` fields) does not load; empty if the text shows nothing wrong.
inline std::string explainDataLineFile(const char* path, size_t needed)
{
    std::ifstream in(path);
    std::string line;
    if (!readCalibrationLine(in, line))
        return "the file is empty";
    if (!readCalibrationLine(in, line))
        return "no data line after the header";
    const size_t count = fieldsOf(line).size();
    if (count < needed)
        return "the data line has " + std::to_string(count) + " field(s), at least " +
               std::to_string(needed) + " expected";
    return "";
}

}  // namespace dovav
