// Fuzzes the warp map loader, with and without the flips, into a used mesh.

#include "fuzz_input_file.h"
#include "mesh_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = dovav::fuzz::writeInputFile(data, size, ".txt");
    kzMesh mesh;
    dovav::fuzz::fillWithQuad(mesh);
    for (int flips = 0; flips < 2; ++flips) {
        dovav::fuzz::MeshState before(mesh);
        kzResult result = kzLoadWarpmapFromFile(path, &mesh, flips, flips);
        dovav::fuzz::checkMeshLoad(result, mesh, before);
    }
    return 0;
}
