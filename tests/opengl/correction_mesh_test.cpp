// Correction meshes: one buffer per program input, the unwarped mask lookup,
// the world positions and the triangle list in an element buffer of the
// vertex array.

#include <cmath>
#include <vector>

#include <gtest/gtest.h>

#include "geometry/grid_triangles.h"
#include "opengl/opengl_records.h"
#include "support/gl_fixture.h"

namespace {

using dovav::test::OpenGLTest;

// A width x height grid with distinct values in every array.
kzMesh gridMesh(uint32_t width, uint32_t height)
{
    kzMesh mesh;
    const size_t count = size_t(width) * height;
    mesh.width = width;
    mesh.height = height;
    mesh.vertices = static_cast<kzVec3f*>(std::malloc(count * sizeof(kzVec3f) + 1));
    mesh.texcoords = static_cast<kzVec2f*>(std::malloc(count * sizeof(kzVec2f) + 1));
    mesh.normals = static_cast<kzVec3f*>(std::malloc(count * sizeof(kzVec3f) + 1));
    mesh.tangents = static_cast<kzVec3f*>(std::malloc(count * sizeof(kzVec3f) + 1));
    for (size_t i = 0; i < count; ++i) {
        const float f = float(i);
        mesh.vertices[i] = {0.25f + f, 0.75f - f, 0.0f};
        mesh.texcoords[i] = {f, 10 + f};
        mesh.normals[i] = {20 + f, 21 + f, 22 + f};
        mesh.tangents[i] = {30 + f, 31 + f, 32 + f};
    }
    return mesh;
}

template <typename T>
std::vector<T> bufferContents(GLuint buffer)
{
    GLint size = 0;
    glBindBuffer(GL_ARRAY_BUFFER, buffer);
    glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_SIZE, &size);
    std::vector<T> contents(size_t(size) / sizeof(T));
    glGetBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(contents.size() * sizeof(T)), contents.data());
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    return contents;
}

// The triangle list as drawn: the element buffer bound to the mesh's array.
std::vector<uint32_t> drawnIndices(const kzOpenGLCorrectionMesh& cmesh)
{
    glBindVertexArray(cmesh.vao);
    GLint bound = 0;
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &bound);
    glBindVertexArray(0);
    EXPECT_EQ(GLuint(bound), cmesh.elements);
    const std::vector<uint32_t> indices = bufferContents<uint32_t>(cmesh.elements);
    EXPECT_EQ(indices.size(), size_t(cmesh.indexCount));
    return indices;
}

bool sameVec3(const kzVec3f& a, const kzVec3f& b)
{
    return a.x == b.x && a.y == b.y && a.z == b.z;
}

class CorrectionMeshTest : public OpenGLTest {};

TEST(GridTriangles, TwoTrianglesPerCellInRowOrder)
{
    const struct {
        uint32_t width, height;
        std::vector<uint32_t> indices;
    } cases[] = {
        {3, 2, {0, 1, 3, 1, 4, 3, 1, 2, 4, 2, 5, 4}},
        {2, 3, {0, 1, 2, 1, 3, 2, 2, 3, 4, 3, 5, 4}},
        {1, 5, {}},
        {5, 1, {}},
        {0, 0, {}},
    };
    for (const auto& c : cases) {
        std::vector<uint32_t> indices;
        grid::appendTriangleIndices(c.width, c.height, indices);
        EXPECT_EQ(indices, c.indices) << c.width << "x" << c.height;
        EXPECT_EQ(grid::triangleIndexCount(c.width, c.height), c.indices.size());
    }
}

// A point with any non-finite position or lookup component turns the cells
// it is a corner of into triangles without area (all on the cell's
// upper-left point), and nothing else; the list keeps its length.
TEST(GridTriangles, CellsWithAnInvalidCornerAreSkipped)
{
    const float inf = INFINITY;
    const struct {
        const char* name;
        size_t point;
        kzVec3f vertex;
        kzVec2f texcoord;
        std::vector<uint32_t> indices;
    } cases[] = {
        {"corner point, x not a number", 0, {NAN, 0, 0}, {0, 0}, {0, 0, 0, 0, 0, 0, 1, 2, 4, 2, 5, 4}},
        {"middle point, v infinite", 1, {0, 0, 0}, {0, inf}, {0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1}},
        {"lower right, z infinite", 5, {0, 0, -inf}, {0, 0}, {0, 1, 3, 1, 4, 3, 1, 1, 1, 1, 1, 1}},
        {"all finite", 3, {1, 1, 1}, {1, 1}, {0, 1, 3, 1, 4, 3, 1, 2, 4, 2, 5, 4}},
    };
    for (const auto& c : cases) {
        kzMesh mesh = gridMesh(3, 2);
        mesh.vertices[c.point] = c.vertex;
        mesh.texcoords[c.point] = c.texcoord;
        std::vector<uint32_t> indices;
        grid::appendTriangleIndices(3, 2, indices, &mesh);
        EXPECT_EQ(indices, c.indices) << c.name;
    }
    // A dynamic channel's surface point that is not a number counts as well.
    kzMesh mesh = gridMesh(3, 2);
    std::vector<kzVec3f> world(6, kzVec3f{1, 2, 3});
    world[2].y = NAN;
    std::vector<uint32_t> indices;
    grid::appendTriangleIndices(3, 2, indices, &mesh, world.data());
    EXPECT_EQ(indices, (std::vector<uint32_t>{0, 1, 3, 1, 4, 3, 1, 1, 1, 1, 1, 1}));
}

// Invalid points upload as zeros: no interpolation on the GPU reads a NaN.
TEST_F(CorrectionMeshTest, NonFiniteValuesUploadAsZero)
{
    kzMesh mesh = gridMesh(3, 2);
    mesh.vertices[4] = {NAN, 1, INFINITY};
    mesh.texcoords[4] = {NAN, 2};
    mesh.normals[4] = {-INFINITY, 3, 4};
    mesh.tangents[4] = {5, NAN, 6};
    kzOpenGLCorrectionMesh* cmesh = nullptr;
    ASSERT_TRUE(kzOpenGLCreateCorrectionMesh(&mesh, &cmesh, GL_STATIC_DRAW, {}));
    EXPECT_EQ(drawnIndices(*cmesh), (std::vector<uint32_t>{0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1, 1}));
    const auto positions = bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_POSITION]);
    const auto warped = bufferContents<kzVec2f>(cmesh->buffers[KZ_ATTRIBUTE_TEXCOORD_WARPED]);
    const auto unwarped = bufferContents<kzVec2f>(cmesh->buffers[KZ_ATTRIBUTE_TEXCOORD_UNWARPED]);
    const auto normals = bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_NORMAL]);
    const auto tangents = bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_TANGENT]);
    const auto world = bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_POSITION1]);
    ASSERT_EQ(positions.size(), 6u);
    EXPECT_TRUE(sameVec3(positions[4], {0, 1, 0}));
    EXPECT_TRUE(sameVec3(world[4], {0, 1, 0}));
    EXPECT_EQ(warped[4].x, 0.0f);
    EXPECT_EQ(warped[4].y, 2.0f);
    EXPECT_EQ(unwarped[4].x, 0.0f);
    EXPECT_TRUE(sameVec3(normals[4], {0, 3, 4}));
    EXPECT_TRUE(sameVec3(tangents[4], {5, 0, 6}));
    EXPECT_TRUE(sameVec3(positions[3], mesh.vertices[3]));  // valid points as they are
    kzOpenGLFreeCorrectionMesh(cmesh);
}

TEST_F(CorrectionMeshTest, BuffersHoldTheMeshPerAttribute)
{
    kzMesh mesh = gridMesh(3, 2);
    kzOpenGLCorrectionMesh* cmesh = nullptr;
    ASSERT_TRUE(kzOpenGLCreateCorrectionMesh(&mesh, &cmesh, GL_DYNAMIC_DRAW, {}));
    EXPECT_EQ(drawnIndices(*cmesh), (std::vector<uint32_t>{0, 1, 3, 1, 4, 3, 1, 2, 4, 2, 5, 4}));

    const auto positions = bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_POSITION]);
    const auto warped = bufferContents<kzVec2f>(cmesh->buffers[KZ_ATTRIBUTE_TEXCOORD_WARPED]);
    const auto unwarped = bufferContents<kzVec2f>(cmesh->buffers[KZ_ATTRIBUTE_TEXCOORD_UNWARPED]);
    const auto normals = bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_NORMAL]);
    const auto tangents = bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_TANGENT]);
    const auto world = bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_POSITION1]);
    ASSERT_EQ(positions.size(), 6u);
    ASSERT_EQ(warped.size(), 6u);
    ASSERT_EQ(unwarped.size(), 6u);
    ASSERT_EQ(normals.size(), 6u);
    ASSERT_EQ(tangents.size(), 6u);
    ASSERT_EQ(world.size(), 6u);
    for (size_t i = 0; i < 6; ++i) {
        EXPECT_TRUE(sameVec3(positions[i], mesh.vertices[i])) << i;
        EXPECT_EQ(warped[i].x, mesh.texcoords[i].x);
        EXPECT_EQ(warped[i].y, mesh.texcoords[i].y);
        // The masks are looked up at the output position with v pointing down.
        EXPECT_EQ(unwarped[i].x, mesh.vertices[i].x);
        EXPECT_EQ(unwarped[i].y, 1.0f - mesh.vertices[i].y);
        EXPECT_TRUE(sameVec3(normals[i], mesh.normals[i])) << i;
        EXPECT_TRUE(sameVec3(tangents[i], mesh.tangents[i])) << i;
        // Without a world list of the right length the positions stand in.
        EXPECT_TRUE(sameVec3(world[i], mesh.vertices[i])) << i;
    }
    EXPECT_EQ(unwarped[0].x, 0.25f);
    EXPECT_EQ(unwarped[0].y, 0.25f);

    for (GLuint buffer : cmesh->buffers) {
        glBindBuffer(GL_ARRAY_BUFFER, buffer);
        GLint usage = 0;
        glGetBufferParameteriv(GL_ARRAY_BUFFER, GL_BUFFER_USAGE, &usage);
        EXPECT_EQ(usage, GL_DYNAMIC_DRAW);
    }
    glBindBuffer(GL_ARRAY_BUFFER, 0);
    kzOpenGLFreeCorrectionMesh(cmesh);
}

TEST_F(CorrectionMeshTest, VertexArrayRecordsSixAttributesAndLeavesBindingsClear)
{
    kzMesh mesh = gridMesh(2, 2);
    kzOpenGLCorrectionMesh* cmesh = nullptr;
    ASSERT_TRUE(kzOpenGLCreateCorrectionMesh(&mesh, &cmesh, GL_STATIC_DRAW, {}));
    GLint binding = -1;
    glGetIntegerv(GL_VERTEX_ARRAY_BINDING, &binding);
    EXPECT_EQ(binding, 0);
    glGetIntegerv(GL_ARRAY_BUFFER_BINDING, &binding);
    EXPECT_EQ(binding, 0);

    glBindVertexArray(cmesh->vao);
    const GLint components[KZ_ATTRIBUTE_COUNT] = {3, 2, 2, 3, 3, 3};
    for (GLuint location = 0; location < KZ_ATTRIBUTE_COUNT; ++location) {
        GLint enabled = 0, size = 0, buffer = 0, type = 0;
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_ENABLED, &enabled);
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_SIZE, &size);
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_BUFFER_BINDING, &buffer);
        glGetVertexAttribiv(location, GL_VERTEX_ATTRIB_ARRAY_TYPE, &type);
        EXPECT_EQ(enabled, GL_TRUE) << location;
        EXPECT_EQ(size, components[location]) << location;
        EXPECT_EQ(GLuint(buffer), cmesh->buffers[location]) << location;
        EXPECT_EQ(type, GL_FLOAT) << location;
    }
    // The indices come from the mesh's element buffer, never client memory.
    glGetIntegerv(GL_ELEMENT_ARRAY_BUFFER_BINDING, &binding);
    EXPECT_EQ(GLuint(binding), cmesh->elements);
    EXPECT_NE(binding, 0);
    glBindVertexArray(0);
    kzOpenGLFreeCorrectionMesh(cmesh);
}

TEST_F(CorrectionMeshTest, WorldPositionsUsedOnlyWhenOnePerVertex)
{
    kzMesh mesh = gridMesh(2, 2);
    const std::vector<kzVec3f> world = {{1, 2, 3}, {4, 5, 6}, {7, 8, 9}, {10, 11, 12}};
    const struct {
        std::vector<kzVec3f> list;
        bool used;
    } cases[] = {{world, true}, {{}, false}, {{world[0], world[1], world[2]}, false}};
    for (const auto& c : cases) {
        kzOpenGLCorrectionMesh* cmesh = nullptr;
        ASSERT_TRUE(kzOpenGLCreateCorrectionMesh(&mesh, &cmesh, GL_STATIC_DRAW, c.list));
        const auto uploaded = bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_POSITION1]);
        ASSERT_EQ(uploaded.size(), 4u);
        for (size_t i = 0; i < 4; ++i)
            EXPECT_TRUE(sameVec3(uploaded[i], c.used ? world[i] : mesh.vertices[i])) << c.list.size();
        kzOpenGLFreeCorrectionMesh(cmesh);
    }
}

// Grids without cells still build: an empty index list, buffers sized for
// the vertices there are (none for an empty grid).
TEST_F(CorrectionMeshTest, GridsWithoutCells)
{
    const struct {
        uint32_t width, height;
    } cases[] = {{1, 4}, {4, 1}, {0, 0}, {0, 7}};
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
        kzMesh mesh = gridMesh(c.width, c.height);
        kzOpenGLCorrectionMesh* cmesh = nullptr;
        ASSERT_TRUE(kzOpenGLCreateCorrectionMesh(&mesh, &cmesh, GL_STATIC_DRAW, {}));
        EXPECT_TRUE(drawnIndices(*cmesh).empty());
        EXPECT_EQ(bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_TANGENT]).size(),
                  size_t(c.width) * c.height);
        kzOpenGLFreeCorrectionMesh(cmesh);
    }
}

TEST_F(CorrectionMeshTest, MissingArrays)
{
    // Absent optional arrays give buffers of the full size.
    kzMesh mesh = gridMesh(2, 2);
    std::free(mesh.normals);
    mesh.normals = nullptr;
    kzOpenGLCorrectionMesh* cmesh = nullptr;
    ASSERT_TRUE(kzOpenGLCreateCorrectionMesh(&mesh, &cmesh, GL_STATIC_DRAW, {}));
    EXPECT_EQ(bufferContents<kzVec3f>(cmesh->buffers[KZ_ATTRIBUTE_NORMAL]).size(), 4u);
    kzOpenGLFreeCorrectionMesh(cmesh);

    // Positions are needed for every vertex: without them nothing is built.
    std::free(mesh.vertices);
    mesh.vertices = nullptr;
    cmesh = reinterpret_cast<kzOpenGLCorrectionMesh*>(0x10);
    EXPECT_FALSE(kzOpenGLCreateCorrectionMesh(&mesh, &cmesh, GL_STATIC_DRAW, {}));
    EXPECT_EQ(cmesh, nullptr);

    kzOpenGLCorrectionMesh* untouched = reinterpret_cast<kzOpenGLCorrectionMesh*>(0x20);
    EXPECT_FALSE(kzOpenGLCreateCorrectionMesh(nullptr, &untouched, GL_STATIC_DRAW, {}));
    EXPECT_EQ(untouched, reinterpret_cast<kzOpenGLCorrectionMesh*>(0x20));
    EXPECT_FALSE(kzOpenGLCreateCorrectionMesh(&mesh, nullptr, GL_STATIC_DRAW, {}));
}

TEST_F(CorrectionMeshTest, FreeReleasesNames)
{
    kzOpenGLFreeCorrectionMesh(nullptr);
    kzMesh mesh = gridMesh(2, 2);
    kzOpenGLCorrectionMesh* cmesh = nullptr;
    ASSERT_TRUE(kzOpenGLCreateCorrectionMesh(&mesh, &cmesh, GL_STATIC_DRAW, {}));
    const GLuint vao = cmesh->vao;
    std::vector<GLuint> buffers(cmesh->buffers, cmesh->buffers + KZ_ATTRIBUTE_COUNT);
    kzOpenGLFreeCorrectionMesh(cmesh);
    EXPECT_FALSE(glIsVertexArray(vao));
    for (GLuint buffer : buffers)
        EXPECT_FALSE(glIsBuffer(buffer)) << buffer;
}

}  // namespace
