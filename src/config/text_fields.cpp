#include "config/text_fields.h"

#include <cstring>
#include <string>

#include "config/c_locale_number.h"

namespace calib {
namespace {

// Calls `convert` on a NUL-terminated copy of the field. Fields that need
// this path are short in practice; only a pathological one reaches the heap.
template <typename Convert>
auto convertTerminated(Field field, Convert convert)
{
    size_t length = size_t(field.end - field.begin);
    char local[128];
    if (length < sizeof local) {
        std::memcpy(local, field.begin, length);
        local[length] = '\0';
        return convert(local);
    }
    std::string copy(field.begin, length);
    return convert(copy.c_str());
}

}  // namespace

double readDoubleSlow(Field field)
{
    return convertTerminated(field, [](const char* text) { return kzStrtodC(text, nullptr); });
}

long readLongSlow(Field field)
{
    return convertTerminated(field, [](const char* text) { return kzStrtolC(text, nullptr, 10); });
}

}  // namespace calib
