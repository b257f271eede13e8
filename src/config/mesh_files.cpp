// Warp map and screen shape files: a header line, then one grid point per
// line, fields separated by semicolons, the grid indices in the last two
// fields. Points are stored in line order, and the indices must follow that
// order: row by row, columns fastest, each (column, row) once.

#include <algorithm>
#include <new>
#include <utility>

#include "config/channel_warpmap.h"
#include "config/mesh_arrays.h"
#include "config/text_fields.h"
#include "config/text_lines.h"
#include "core/messages.h"
#include "kzLib/calibration.h"

namespace {

// Shortest possible data lines with their line feeds ("0;0;0;0;0;0\n" and
// one more field): the file size over these gives a first reservation, at
// most kFirstReservation points; beyond that the arrays grow only with the
// points actually read, so a large file of nothing costs nothing.
constexpr size_t kShortestWarpmapLine = 12;
constexpr size_t kShortestScreenShapeLine = 14;
constexpr size_t kFirstReservation = size_t(1) << 16;

constexpr kzVec3f kZero3{0.0f, 0.0f, 0.0f};

// One data line read into the mesh: its fields, and the grid indices it
// carries (the reader checks their order).
struct PointIndices {
    uint32_t column = 0;
    uint32_t row = 0;
};

template <typename ReadLine>
kzResult loadMesh(const char* path, kzMesh* mesh, bool surface, size_t shortestLine,
                  const char* what, ReadLine readLine)
{
    if (!mesh)
        return KZ_ERROR_INVALID_ARGUMENT;
    try {
        calib::LineReader reader;
        if (kzResult opened = reader.open(path); opened != KZ_OK)
            return opened;
        calib::MeshParts parts(surface);
        // Only a hint: if the address space is short, the arrays grow instead.
        (void)parts.reserve(std::min(reader.fileSize() / shortestLine + 1, kFirstReservation));
        calib::Line line;
        calib::GridOrder order;
        bool header = true;  // skipped, whatever it says
        while (reader.next(line)) {
            if (std::exchange(header, false) || calib::isBlank(line))
                continue;
            PointIndices indices;
            if (!readLine(line, parts, indices)) {
                kzLogMessage(KZ_MESSAGE_ERROR, "%s %s, line %zu: not a grid point", what, path,
                             reader.lineNumber());
                return KZ_ERROR_INVALID_DATA;
            }
            if (!order.accept(indices.column, indices.row)) {
                kzLogMessage(KZ_MESSAGE_ERROR,
                             "%s %s, line %zu: point (column %u, row %u) where (column %u, row %u) "
                             "was due; points go row by row, each once",
                             what, path, reader.lineNumber(), indices.column, indices.row,
                             order.expectedColumn(), order.expectedRow());
                return KZ_ERROR_INVALID_DATA;
            }
        }
        if (reader.error() == calib::LineError::none)
            reader.unchanged();
        if (kzResult failed = calib::reportLineError(reader, what, path); failed != KZ_OK)
            return failed;
        if (order.points() == 0) {
            kzLogMessage(KZ_MESSAGE_ERROR, "%s %s holds no grid points", what, path);
            return KZ_ERROR_INVALID_DATA;
        }
        if (!order.complete()) {
            kzLogMessage(KZ_MESSAGE_ERROR,
                         "%s %s: %llu points do not fill whole rows of %u (the file ends early)",
                         what, path, static_cast<unsigned long long>(order.points()),
                         order.width());
            return KZ_ERROR_INVALID_DATA;
        }
        return parts.storeInto(*mesh, order);
    } catch (const std::bad_alloc&) {
        kzLogMessage(KZ_MESSAGE_ERROR, "%s %s: out of memory", what, path);
        return KZ_ERROR_INVALID_DATA;
    }
}

}  // namespace

kzResult kzLoadWarpmapFromFile(const char* path, kzMesh* mesh, int flipVerticesY, int flipTexcoordsV)
{
    return kzLoadWarpmapInRowOrder(path, mesh, flipVerticesY, flipTexcoordsV, calib::PfmRows::TopFirst);
}

kzResult kzLoadChannelWarpmap(const kzContextHeader& header, uint32_t channel, const char* path,
                              kzMesh* mesh)
{
    const auto origin = header.origins.find(channel);
    const bool bottomFirst = origin != header.origins.end() && origin->second.warpBottomRowFirst;
    return kzLoadWarpmapInRowOrder(path, mesh, header.flipWarpmeshVerticesY, header.flipWarpmeshTexcoordsV,
                                   bottomFirst ? calib::PfmRows::BottomFirst : calib::PfmRows::TopFirst);
}

kzResult kzLoadWarpmapInRowOrder(const char* path, kzMesh* mesh, int flipVerticesY, int flipTexcoordsV,
                                 calib::PfmRows rows)
{
    if (mesh && path && calib::isPfmFile(path)) {
        try {
            return calib::loadPfmWarpmap(path, *mesh, rows, flipVerticesY, flipTexcoordsV);
        } catch (const std::bad_alloc&) {
            return KZ_ERROR_INVALID_DATA;
        }
    }
    return loadMesh(path, mesh, false, kShortestWarpmapLine, "Warp map",
                    [=](calib::Line line, calib::MeshParts& parts, PointIndices& indices) {
        // x; y; u; v; column; row; anything after that is ignored
        calib::FieldCursor fields(line);
        kzVec3f vertex{0.0f, 0.0f, 0.0f};
        kzVec2f texcoord;
        if (!fields.nextFloat(vertex.x) || !fields.nextFloat(vertex.y) ||
            !fields.nextFloat(texcoord.x) || !fields.nextFloat(texcoord.y) ||
            !fields.nextIndex(indices.column) || !fields.nextIndex(indices.row))
            return false;
        if (flipVerticesY)
            vertex.y = 1.0f - vertex.y;
        if (flipTexcoordsV)
            texcoord.y = 1.0f - texcoord.y;
        if (!parts.push(vertex, texcoord))
            throw std::bad_alloc();
        return true;
    });
}

kzResult kzLoadScreenShapeFromFile(const char* path, kzMesh* mesh, int flip)
{
    return loadMesh(path, mesh, true, kShortestScreenShapeLine, "Screen shape",
                    [=](calib::Line line, calib::MeshParts& parts, PointIndices& indices) {
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
            return false;
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
        indices = {calib::readIndex(last[0]), calib::readIndex(last[1])};
        if (!parts.push(vertex, texcoord, normal, tangent))
            throw std::bad_alloc();
        return true;
    });
}
