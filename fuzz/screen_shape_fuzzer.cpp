// Fuzzes the screen shape loader, with and without the flip, into a used mesh.

#include "fuzz_input_file.h"
#include "mesh_checks.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const char* path = dovav::fuzz::writeInputFile(data, size, ".txt");
    kzMesh mesh;
    dovav::fuzz::fillWithQuad(mesh);
    for (int flip = 0; flip < 2; ++flip) {
        dovav::fuzz::MeshState before(mesh);
        kzResult result = kzLoadScreenShapeFromFile(path, &mesh, flip);
        dovav::fuzz::checkMeshLoad(result, mesh, before);
    }
    return 0;
}
