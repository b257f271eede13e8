// Printing a context's channel table.
#pragma once

#include <cstdio>

struct kzContextHeader;

namespace dovav {

// One block per channel: number, type, gammas, then every configured path.
void printChannelTable(const kzContextHeader& header, std::FILE* out);

}  // namespace dovav
