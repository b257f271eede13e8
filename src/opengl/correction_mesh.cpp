#include <climits>

#include "geometry/grid_points.h"
#include "geometry/grid_triangles.h"
#include "opengl/opengl_records.h"

namespace {

// Sizes `buffer` for `bytes` and maps it for writing: the caller fills GL's
// own storage, with no intermediate copy in the library. Null when the
// buffer cannot be mapped (nothing to fill for an empty buffer).
void* mapForFilling(GLenum target, GLuint buffer, size_t bytes, GLenum usage)
{
    glBindBuffer(target, buffer);
    glBufferData(target, GLsizeiptr(bytes), nullptr, usage);
    if (bytes == 0)
        return nullptr;
    return glMapBufferRange(target, 0, GLsizeiptr(bytes),
                            GL_MAP_WRITE_BIT | GL_MAP_INVALIDATE_BUFFER_BIT);
}

// Uploads `count` vertices of one attribute, or sizes the buffer for them
// when there is no source array; the attribute reads the buffer.
bool uploadAttribute(GLuint buffer, GLuint location, GLint components, const void* data,
                     size_t count, GLenum usage)
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(count * size_t(components) * sizeof(float)), data, usage);
    glVertexAttribPointer(location, components, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(location);
    return true;
}

// The mask lookup of each vertex, written straight into its buffer: the
// output position with v pointing down.
bool uploadUnwarped(GLuint buffer, const kzVec3f* vertices, size_t count, GLenum usage)
{
    auto* texcoords = static_cast<kzVec2f*>(
        mapForFilling(GL_ARRAY_BUFFER, buffer, count * sizeof(kzVec2f), usage));
    if (count > 0 && !texcoords)
        return false;
    for (size_t i = 0; i < count; ++i)
        texcoords[i] = grid::finiteOr0(kzVec2f{vertices[i].x, 1.0f - vertices[i].y});
    const bool kept = count == 0 || glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
    glVertexAttribPointer(KZ_ATTRIBUTE_TEXCOORD_UNWARPED, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(KZ_ATTRIBUTE_TEXCOORD_UNWARPED);
    return kept;
}

// Output positions of a flat mesh as x, y pairs (its z is 0), written
// straight into the buffer.
bool uploadFlatPositions(GLuint buffer, const kzVec3f* vertices, size_t count, GLenum usage)
{
    auto* positions = static_cast<kzVec2f*>(
        mapForFilling(GL_ARRAY_BUFFER, buffer, count * sizeof(kzVec2f), usage));
    if (count > 0 && !positions)
        return false;
    for (size_t i = 0; i < count; ++i)
        positions[i] = grid::finiteOr0(kzVec2f{vertices[i].x, vertices[i].y});
    const bool kept = count == 0 || glUnmapBuffer(GL_ARRAY_BUFFER) == GL_TRUE;
    glVertexAttribPointer(KZ_ATTRIBUTE_POSITION, 2, GL_FLOAT, GL_FALSE, 0, nullptr);
    glEnableVertexAttribArray(KZ_ATTRIBUTE_POSITION);
    return kept;
}

// Sizes an attribute's buffer to nothing: a flat mesh does not use it.
void leaveEmpty(GLuint buffer, GLenum usage)
{
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glBufferData(GL_ARRAY_BUFFER, 0, nullptr, usage);
}

// The triangle list, generated straight into the element buffer bound to the
// vertex array that is bound now; cells with an invalid corner of `points`
// (or of `alsoFinite`) draw nothing.
bool uploadIndices(GLuint buffer, uint32_t width, uint32_t height, GLenum usage, const kzMesh* points,
                   const kzVec3f* alsoFinite)
{
    const size_t count = size_t(grid::triangleIndexCount(width, height));
    auto* indices = static_cast<uint32_t*>(
        mapForFilling(GL_ELEMENT_ARRAY_BUFFER, buffer, count * sizeof(uint32_t), usage));
    if (count == 0)
        return true;
    if (!indices)
        return false;
    grid::writeTriangleIndices(width, height, indices, points, alsoFinite);
    return glUnmapBuffer(GL_ELEMENT_ARRAY_BUFFER) == GL_TRUE;
}

}  // namespace

bool kzOpenGLCreateCorrectionMesh(const kzMesh* mesh, kzOpenGLCorrectionMesh** cmesh, GLenum usage,
                                  std::vector<kzVec3f> worldPositions, kzOpenGLMeshInputs inputs)
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
    glGenBuffers(1, &result->elements);
    bool named = result->vao != 0 && result->elements != 0;
    for (GLuint buffer : result->buffers)
        named = named && buffer != 0;
    if (!named) {
        kzOpenGLFreeCorrectionMesh(result);
        *cmesh = nullptr;
        return false;
    }

    // Invalid points upload as zeros (copies are made only when there are
    // any); the cells they touch draw nothing. A dynamic channel's surface
    // points, the world positions, must be valid too.
    const bool hasWorld = worldPositions.size() == count;
    std::vector<kzVec3f> finiteVertices, finiteNormals, finiteTangents, finiteWorld;
    std::vector<kzVec2f> finiteTexcoords;
    const kzVec3f* vertices = grid::finiteArray(mesh->vertices, count, finiteVertices);
    const kzVec2f* texcoords = grid::finiteArray(mesh->texcoords, count, finiteTexcoords);
    const kzVec3f* world = hasWorld ? grid::finiteArray(worldPositions.data(), count, finiteWorld) : vertices;

    glBindVertexArray(result->vao);
    bool uploaded = false;
    if (inputs == kzOpenGLMeshInputs::All) {
        uploaded =
            uploadAttribute(result->buffers[KZ_ATTRIBUTE_POSITION], KZ_ATTRIBUTE_POSITION, 3,
                            vertices, count, usage) &&
            uploadAttribute(result->buffers[KZ_ATTRIBUTE_TEXCOORD_WARPED],
                            KZ_ATTRIBUTE_TEXCOORD_WARPED, 2, texcoords, count, usage) &&
            uploadUnwarped(result->buffers[KZ_ATTRIBUTE_TEXCOORD_UNWARPED], vertices, count,
                           usage);
        uploadAttribute(result->buffers[KZ_ATTRIBUTE_NORMAL], KZ_ATTRIBUTE_NORMAL, 3,
                        grid::finiteArray(mesh->normals, count, finiteNormals), count, usage);
        uploadAttribute(result->buffers[KZ_ATTRIBUTE_TANGENT], KZ_ATTRIBUTE_TANGENT, 3,
                        grid::finiteArray(mesh->tangents, count, finiteTangents), count, usage);
        uploadAttribute(result->buffers[KZ_ATTRIBUTE_POSITION1], KZ_ATTRIBUTE_POSITION1, 3, world,
                        count, usage);
    } else {
        // The static program derives the mask lookup from the position; the
        // other buffers stay empty but named, so that every name is an object.
        uploaded = uploadFlatPositions(result->buffers[KZ_ATTRIBUTE_POSITION], vertices, count,
                                       usage) &&
                   uploadAttribute(result->buffers[KZ_ATTRIBUTE_TEXCOORD_WARPED],
                                   KZ_ATTRIBUTE_TEXCOORD_WARPED, 2, texcoords, count, usage);
        for (GLuint location : {KZ_ATTRIBUTE_TEXCOORD_UNWARPED, KZ_ATTRIBUTE_NORMAL,
                                KZ_ATTRIBUTE_TANGENT, KZ_ATTRIBUTE_POSITION1})
            leaveEmpty(result->buffers[location], usage);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    uploaded = uploaded && uploadIndices(result->elements, mesh->width, mesh->height, usage, mesh,
                                         hasWorld ? worldPositions.data() : nullptr);
    glBindVertexArray(0);
    if (!uploaded) {
        kzOpenGLFreeCorrectionMesh(result);
        *cmesh = nullptr;
        return false;
    }
    result->indexCount = GLsizei(grid::triangleIndexCount(mesh->width, mesh->height));
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
        glDeleteBuffers(1, &cmesh->elements);
    }
    delete cmesh;
}
