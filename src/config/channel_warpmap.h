// The warp map of a channel as channel set-up loads it: the context's flip
// flags and the channel's PFM row order.
#pragma once

#include <cstdint>

#include "config/pfm_file.h"
#include "core/context_header.h"

// kzLoadWarpmapFromFile with the row order a PFM warp map is read in.
kzResult kzLoadWarpmapInRowOrder(const char* path, kzMesh* mesh, int flipVerticesY, int flipTexcoordsV,
                                 calib::PfmRows rows);

kzResult kzLoadChannelWarpmap(const kzContextHeader& header, uint32_t channel, const char* path,
                              kzMesh* mesh);
