// Fuzzes the PFM warp map reader in both row orders, with and without the
// flips, into a used mesh.

#include "config/channel_warpmap.h"
#include "fuzz_input_file.h"
#include "mesh_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = dovav::fuzz::writeInputFile(data, size, ".pfm");
    kzMesh mesh;
    dovav::fuzz::fillWithQuad(mesh);
    for (int flips = 0; flips < 2; ++flips) {
        dovav::fuzz::MeshState before(mesh);
        const calib::PfmRows rows = flips ? calib::PfmRows::BottomFirst : calib::PfmRows::TopFirst;
        kzResult result = kzLoadWarpmapInRowOrder(path, &mesh, flips, flips, rows);
        dovav::fuzz::checkMeshLoad(result, mesh, before);
    }
    return 0;
}
