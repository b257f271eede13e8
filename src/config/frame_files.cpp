// Camera and target rectangle files: a header line and one data line of
// semicolon-separated numbers in a z-up world frame. Further lines are ignored.

#include <cmath>
#include <new>

#include "config/text_fields.h"
#include "config/text_lines.h"
#include "core/messages.h"
#include "kzLib/calibration.h"
#include "kzLib/geometry.h"

namespace {

constexpr size_t kCameraFields = 16;
constexpr size_t kTargetRectFields = 27;

// Reads the data line's first `needed` fields (at least that many must be
// there) and hands them to `fill`, which builds the record. The output is
// written only once everything has been read.
template <typename Record, size_t needed, typename Fill>
kzResult loadDataLine(const char* path, Record* output, const char* what, Fill fill)
{
    if (!output)
        return KZ_ERROR_INVALID_ARGUMENT;
    try {
        calib::LineReader reader;
        if (kzResult opened = reader.open(path); opened != KZ_OK)
            return opened;
        calib::Line header;
        calib::Line line;
        const bool read = reader.next(header) && reader.next(line);
        if (reader.error() == calib::LineError::none)
            reader.unchanged();
        if (kzResult failed = calib::reportLineError(reader, what, path); failed != KZ_OK)
            return failed;
        calib::Field fields[needed];
        calib::Field last[2];
        if (!read || calib::splitFields(line, fields, needed, last) < needed) {
            kzLogMessage(KZ_MESSAGE_ERROR, "%s %s: the second line does not hold %zu fields", what,
                         path, needed);
            return KZ_ERROR_INVALID_DATA;
        }
        *output = fill(fields);
        return KZ_OK;
    } catch (const std::bad_alloc&) {
        kzLogMessage(KZ_MESSAGE_ERROR, "%s %s: out of memory", what, path);
        return KZ_ERROR_INVALID_DATA;
    }
}

// File point (a, b, c), z up, to the library's (a, c, -b).
kzVec3f fromFileAxes(const calib::Field* f)
{
    return {calib::readFloat(f[0]), calib::readFloat(f[2]), -calib::readFloat(f[1])};
}

// Viewing direction and up vector of fields 4 to 6: heading, pitch, roll in
// degrees, the file's pitch counted the other way round.
void readOrientation(const calib::Field* f, kzVec3f& direction, kzVec3f& up)
{
    kzVec3f angles{calib::readFloat(f[3]), -calib::readFloat(f[4]), calib::readFloat(f[5])};
    kzGetDirAndUp(&direction, &up, angles);
}

}  // namespace

kzResult kzLoadCameraFromFile(const char* path, kzCamera* camera)
{
    return loadDataLine<kzCamera, kCameraFields>(path, camera, "Camera file", [](const calib::Field* f) {
        kzCamera loaded;
        loaded.left = calib::readFloat(f[10]);
        loaded.right = calib::readFloat(f[11]);
        loaded.bottom = calib::readFloat(f[12]);
        loaded.top = calib::readFloat(f[13]);
        loaded.farClip = 5000.0f;
        loaded.nearClip = 0.5f;
        loaded.fovY = float(2.0 * std::atan((double(loaded.top) - double(loaded.bottom)) * 0.5));
        loaded.aspect = (loaded.right - loaded.left) / (loaded.top - loaded.bottom);
        loaded.shiftX = (loaded.right + loaded.left) / (loaded.right - loaded.left);
        loaded.shiftY = (loaded.top + loaded.bottom) / (loaded.top - loaded.bottom);
        loaded.position = fromFileAxes(f);
        readOrientation(f, loaded.direction, loaded.up);
        return loaded;
    });
}

kzResult kzLoadTargetRectFromFile(const char* path, kzTargetRect* rect)
{
    return loadDataLine<kzTargetRect, kTargetRectFields>(path, rect, "Target rectangle",
                                                          [](const calib::Field* f) {
        // The file lists the corners clockwise from the upper-left one.
        kzTargetRect loaded;
        readOrientation(f, loaded.direction, loaded.up);
        loaded.corners[0] = fromFileAxes(f + 15);  // upper-left
        loaded.corners[2] = fromFileAxes(f + 18);  // upper-right
        loaded.corners[3] = fromFileAxes(f + 21);  // lower-right
        loaded.corners[1] = fromFileAxes(f + 24);  // lower-left
        return loaded;
    });
}
