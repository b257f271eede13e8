// Warp map and screen shape files: a header line, then one grid point per
// line, fields separated by semicolons, the grid indices in the last two
// fields. Points are stored in line order; the indices only give the size.

#include <new>

#include "config/mesh_arrays.h"
#include "config/text_fields.h"
#include "config/text_lines.h"
#include "kzLib/calibration.h"

namespace {

// Shortest possible data lines with their line feeds ("0;0;0;0;0;0\n" and
// one more field): the file size over these bounds the number of points, so
// the arrays are reserved once and do not grow while a regular file is read.
constexpr size_t kShortestWarpmapLine = 12;
constexpr size_t kShortestScreenShapeLine = 14;

constexpr kzVec3f kZero3{0.0f, 0.0f, 0.0f};

template <typename ReadLine>
kzResult loadMesh(const char* path, kzMesh* mesh, bool surface, size_t shortestLine,
                  ReadLine readLine)
{
    if (!mesh)
        return KZ_ERROR_INVALID_ARGUMENT;
    try {
        calib::LineReader reader;
        if (kzResult opened = reader.open(path); opened != KZ_OK)
            return opened;
        calib::MeshParts parts(surface);
        // Only a hint: if the address space is short, the arrays grow instead.
        (void)parts.reserve(reader.fileSize() / shortestLine + 1);
        reader.skip();  // the header, whatever it says
        calib::Line line;
        while (reader.next(line)) {
            if (calib::isBlank(line))
                continue;
            if (kzResult read = readLine(line, parts); read != KZ_OK)
                return read;
        }
        if (reader.failed())
            return KZ_ERROR_FILE;
        return parts.storeInto(*mesh);
    } catch (const std::bad_alloc&) {
        return KZ_ERROR_INVALID_DATA;
    }
}

}  // namespace

kzResult kzLoadWarpmapFromFile(const char* path, kzMesh* mesh, int flipVerticesY, int flipTexcoordsV)
{
    return loadMesh(path, mesh, false, kShortestWarpmapLine,
                    [=](calib::Line line, calib::MeshParts& parts) {
        // x; y; u; v; column; row; anything after that is ignored
        calib::FieldCursor fields(line);
        kzVec3f vertex{0.0f, 0.0f, 0.0f};
        kzVec2f texcoord;
        uint32_t column, row;
        if (!fields.nextFloat(vertex.x) || !fields.nextFloat(vertex.y) ||
            !fields.nextFloat(texcoord.x) || !fields.nextFloat(texcoord.y) ||
            !fields.nextIndex(column) || !fields.nextIndex(row))
            return KZ_ERROR_INVALID_DATA;
        if (flipVerticesY)
            vertex.y = 1.0f - vertex.y;
        if (flipTexcoordsV)
            texcoord.y = 1.0f - texcoord.y;
        if (!parts.push(vertex, texcoord, column, row))
            return KZ_ERROR_INVALID_DATA;
        return KZ_OK;
    });
}

kzResult kzLoadScreenShapeFromFile(const char* path, kzMesh* mesh, int flip)
{
    return loadMesh(path, mesh, true, kShortestScreenShapeLine,
                    [=](calib::Line line, calib::MeshParts& parts) {
        // position (3); texcoord (2); [normal (3); [tangent (3)]]; ...; column; row.
        // The first eleven fields are read as numbers on the way; whether
        // they mean what their place says depends on the count.
        calib::FieldCursor fields(line);
        float value[11];
        calib::Field field;
        calib::Field last[2];
        size_t count = 0;
        while (count < 11 && fields.nextFloat(value[count], field)) {
            last[0] = last[1];
            last[1] = field;
            ++count;
        }
        while (fields.next(field)) {
            last[0] = last[1];
            last[1] = field;
            ++count;
        }
        if (count < 7)
            return KZ_ERROR_INVALID_DATA;
        // File axes (x, y, z), z up, to the library's (x, z, -y).
        auto fromFileAxes = [&](size_t first) {
            return kzVec3f{value[first], value[first + 2], -value[first + 1]};
        };
        kzVec3f vertex = fromFileAxes(0);
        kzVec2f texcoord{value[3], value[4]};
        if (flip) {
            vertex.y = 1.0f - vertex.y;
            texcoord.y = 1.0f - texcoord.y;
        }
        kzVec3f normal = count >= 10 ? fromFileAxes(5) : kZero3;
        kzVec3f tangent = count >= 13 ? fromFileAxes(8) : kZero3;
        if (!parts.push(vertex, texcoord, normal, tangent, calib::readIndex(last[0]),
                        calib::readIndex(last[1])))
            return KZ_ERROR_INVALID_DATA;
        return KZ_OK;
    });
}
