#include <fstream>

#include "kzLib/core.h"
#include "opengl/opengl_records.h"

namespace {

// Every line is flushed as it is written, so a dump cut short by a crash of
// the host still holds what came before.
class DumpWriter {
public:
    explicit DumpWriter(const char* path) : out_(path, std::ios::out | std::ios::trunc) {}
    bool opened() const { return out_.is_open(); }
    bool good() const { return out_.good(); }

    template <typename... Values>
    void line(const Values&... values)
    {
        (out_ << ... << values) << '\n';
        out_.flush();
    }

private:
    std::ofstream out_;
};

int textureName(const kzOpenGLTexture* texture)
{
    return texture ? int(texture->id) : 0;
}

void writeChannelTable(DumpWriter& dump, const kzChannelTable& table)
{
    dump.line("configuration ", table.size());
    for (const auto& [channel, configuration] : table) {
        dump.line("channel: ", channel);
        dump.line("type: ", configuration.type);
        dump.line("gamma: ", double(configuration.gamma));
        dump.line("warping: ", configuration.warpmap);
        dump.line("blending: ", configuration.blending);
        dump.line("secondary blending: ", configuration.secondaryBlending);
        dump.line("blacklevel: ", configuration.blacklevel);
        dump.line("frustum: ", configuration.frustum);
        dump.line("target: ", configuration.target);
        dump.line("screen:", configuration.shape);
    }
}

void writeCorrections(DumpWriter& dump, const kzContextOpenGL& context)
{
    dump.line("correction ", context.corrections.size());
    for (const auto& [channel, data] : context.corrections) {
        dump.line("channel: ", channel);
        dump.line("blending: ", textureName(data.blendingTexture));
        dump.line("secondary blending: ", textureName(data.secondaryBlendingTexture));
        dump.line("blacklevel: ", textureName(data.blacklevelTexture));
        dump.line("cmesh: ", data.cmesh ? int(data.cmesh->vao) : 0);
        if (const kzCamera* camera = data.camera)
            dump.line("camera: ", double(camera->left), ",", double(camera->right), ",",
                      double(camera->bottom), ",", double(camera->top));
        else
            dump.line("camera: ", 0);
    }
}

kzResult dumpOpenGL(const kzContextOpenGL& context, const char* path)
{
    DumpWriter dump(path);
    if (!dump.opened())
        return KZ_ERROR_FILE;
    // Without a current GL context the version is left empty and the rest of
    // the snapshot is still written.
    const GLubyte* version = kzOpenGLContextIsCurrent() ? glGetString(GL_VERSION) : nullptr;
    dump.line("version: ", version ? reinterpret_cast<const char*>(version) : "");
    dump.line("shader: ", context.staticShader ? int(context.staticShader->program) : 0);
    dump.line("width: ", context.width);
    dump.line("height: ", context.height);
    dump.line("target: ", int(context.target));
    dump.line("active: ", context.activeChannel);
    dump.line("errorstring: ", context.errorString);
    writeChannelTable(dump, context.configurations);
    writeCorrections(dump, context);
    return dump.good() ? KZ_OK : KZ_ERROR_FILE;
}

}  // namespace

KZ_API kzResult kzDumpContext(void* context, const char* path)
{
    auto* header = static_cast<kzContextHeader*>(context);
    if (!header)
        return KZ_ERROR_INVALID_CONTEXT;
    if (!path)
        return KZ_ERROR_INVALID_DATA;
    if (header->kind != KZ_CONTEXT_OPENGL)
        return KZ_ERROR_INVALID_CONTEXT;
    return dumpOpenGL(*static_cast<kzContextOpenGL*>(header), path);
}
