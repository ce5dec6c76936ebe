#include "GLGpuDevice.h"

#include <QOpenGLContext>
#include <QOpenGLExtraFunctions>

#include <algorithm>
#include <vector>

namespace Tessaline {

namespace {

class GLGpuBuffer : public GpuBuffer {
public:
    GLGpuBuffer(QOpenGLContext* context, GLuint id, std::size_t length)
        : _context(context)
        , _id(id)
        , _length(length) {}
    ~GLGpuBuffer() override {
        if (QOpenGLContext::currentContext() == _context) _context->extraFunctions()->glDeleteBuffers(1, &_id);
    }
    std::size_t length() const override { return _length; }
    void write(const void* data, std::size_t bytes) override {
        bytes = std::min(bytes, _length);
        if (!bytes || QOpenGLContext::currentContext() != _context) return;
        QOpenGLExtraFunctions* gl = _context->extraFunctions();
        gl->glBindBuffer(GL_ARRAY_BUFFER, _id);
        gl->glBufferSubData(GL_ARRAY_BUFFER, 0, GLsizeiptr(bytes), data);
        gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    }
    unsigned bufferId() const override { return _id; }

private:
    QOpenGLContext* _context;
    GLuint _id;
    std::size_t _length;
};

class GLGpuTexture : public GpuTexture {
public:
    GLGpuTexture(QOpenGLContext* context, GLuint id, int width, int height)
        : _context(context)
        , _id(id)
        , _width(width)
        , _height(height) {}
    ~GLGpuTexture() override {
        if (QOpenGLContext::currentContext() == _context) _context->extraFunctions()->glDeleteTextures(1, &_id);
    }
    int width() const override { return _width; }
    int height() const override { return _height; }
    unsigned textureId() const override { return _id; }

private:
    QOpenGLContext* _context;
    GLuint _id;
    int _width;
    int _height;
};

} // namespace

std::shared_ptr<GpuBuffer> GLGpuDevice::makeBuffer(std::size_t length) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context || length == 0) return nullptr;
    QOpenGLExtraFunctions* gl = context->extraFunctions();
    GLuint id = 0;
    gl->glGenBuffers(1, &id);
    if (!id) return nullptr;
    gl->glBindBuffer(GL_ARRAY_BUFFER, id);
    gl->glBufferData(GL_ARRAY_BUFFER, GLsizeiptr(length), nullptr, GL_DYNAMIC_DRAW);
    gl->glBindBuffer(GL_ARRAY_BUFFER, 0);
    if (gl->glGetError() != GL_NO_ERROR) {
        gl->glDeleteBuffers(1, &id);
        return nullptr;
    }
    return std::make_shared<GLGpuBuffer>(context, id, length);
}

std::shared_ptr<GpuTexture> GLGpuDevice::makeTexture(int width, int height, const unsigned char* rgbaPremultiplied) {
    QOpenGLContext* context = QOpenGLContext::currentContext();
    if (!context || width < 1 || height < 1 || !rgbaPremultiplied) return nullptr;
    QOpenGLExtraFunctions* gl = context->extraFunctions();
    GLint largest = 0;
    gl->glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
    if (largest > 0 && (width > largest || height > largest)) return nullptr;
    GLuint id = 0;
    gl->glGenTextures(1, &id);
    if (!id) return nullptr;
    gl->glBindTexture(GL_TEXTURE_2D, id);
    gl->glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
    // GL's texture row 0 is the bottom of the image (v = 0 where the drawable's y is lowest): the rows go
    // up bottom first, else every image would stand on its head.
    const std::size_t rowBytes = std::size_t(width) * 4;
    std::vector<unsigned char> flipped(rowBytes * std::size_t(height));
    for (int row = 0; row < height; ++row)
        std::copy_n(rgbaPremultiplied + std::size_t(height - 1 - row) * rowBytes, rowBytes,
                    flipped.data() + std::size_t(row) * rowBytes);
    gl->glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    gl->glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    gl->glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, width, height, 0, GL_RGBA, GL_UNSIGNED_BYTE, flipped.data());
    gl->glBindTexture(GL_TEXTURE_2D, 0);
    if (gl->glGetError() != GL_NO_ERROR) {
        gl->glDeleteTextures(1, &id);
        return nullptr;
    }
    return std::make_shared<GLGpuTexture>(context, id, width, height);
}

} // namespace Tessaline
