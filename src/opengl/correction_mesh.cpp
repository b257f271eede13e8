#include <climits>
#include <memory>

#include "geometry/grid_triangles.h"
#include "opengl/opengl_records.h"

namespace {

void uploadAttribute(GLuint buffer, GLuint location, GLint components, const void* data,
                     size_t vertexCount, GLenum usage)
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(vertexCount * size_t(components) * sizeof(float)), data,
                 usage);
    glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(location);
}

// The mask lookup of each vertex: its output position with v pointing down.
std::unique_ptr<kzVec2f[]> unwarpedTexcoords(const kzVec3f* vertices, size_t count)
{
    std::unique_ptr<kzVec2f[]> texcoords(new kzVec2f[count]);
    for (size_t i = 0; i < count; ++i)
        texcoords[i] = kzVec2f{vertices[i].x, 1.0f - vertices[i].y};
    return texcoords;
}

}  // namespace

bool kzOpenGLCreateCorrectionMesh(const kzMesh* mesh, kzOpenGLCorrectionMesh** cmesh, GLenum usage,
                                  std::vector<kzVec3f> worldPositions)
{
    if (!mesh || !cmesh)
        return false;
    const size_t count = size_t(mesh->width) * size_t(mesh->height);
    // Positions are required for any vertex, and the index count must fit
    // the draw call's GLsizei.
    if ((count > 0 && !mesh->vertices) ||
        grid::triangleIndexCount(mesh->width, mesh->height) > uint64_t(INT_MAX)) {
        *cmesh = nullptr;
        return false;
    }

    auto* result = new kzOpenGLCorrectionMesh;
    glGenVertexArrays(1, &result->vao);
    glGenBuffers(KZ_ATTRIBUTE_COUNT, result->buffers);
    bool named = result->vao != 0;
    for (GLuint buffer : result->buffers)
        named = named && buffer != 0;
    if (!named) {
        kzOpenGLFreeCorrectionMesh(result);
        *cmesh = nullptr;
        return false;
    }

    const kzVec3f* world =
        worldPositions.size() == count ? worldPositions.data() : mesh->vertices;
    std::unique_ptr<kzVec2f[]> unwarped = unwarpedTexcoords(mesh->vertices, count);

    glBindVertexArray(result->vao);
    uploadAttribute(result->buffers[KZ_ATTRIBUTE_POSITION], KZ_ATTRIBUTE_POSITION, 3,
                    mesh->vertices, count, usage);
    uploadAttribute(result->buffers[KZ_ATTRIBUTE_TEXCOORD_WARPED], KZ_ATTRIBUTE_TEXCOORD_WARPED, 2,
                    mesh->texcoords, count, usage);
    uploadAttribute(result->buffers[KZ_ATTRIBUTE_TEXCOORD_UNWARPED], KZ_ATTRIBUTE_TEXCOORD_UNWARPED,
                    2, unwarped.get(), count, usage);
    uploadAttribute(result->buffers[KZ_ATTRIBUTE_NORMAL], KZ_ATTRIBUTE_NORMAL, 3, mesh->normals,
                    count, usage);
    uploadAttribute(result->buffers[KZ_ATTRIBUTE_TANGENT], KZ_ATTRIBUTE_TANGENT, 3, mesh->tangents,
                    count, usage);
    uploadAttribute(result->buffers[KZ_ATTRIBUTE_POSITION1], KZ_ATTRIBUTE_POSITION1, 3, world,
                    count, usage);
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    glBindVertexArray(0);

    grid::appendTriangleIndices(mesh->width, mesh->height, result->indices);
    *cmesh = result;
    return true;
}

void kzOpenGLFreeCorrectionMesh(kzOpenGLCorrectionMesh* cmesh)
{
    if (!cmesh)
        return;
    if (kzOpenGLContextIsCurrent()) {
        glDeleteVertexArrays(1, &cmesh->vao);
        glDeleteBuffers(KZ_ATTRIBUTE_COUNT, cmesh->buffers);
    }
    delete cmesh;
}
