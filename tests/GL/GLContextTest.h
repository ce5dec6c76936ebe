#pragma once

#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QSurfaceFormat>

#include <gtest/gtest.h>

namespace QuillabyTest {

// A 3.3 core context on the X server (Mesa's software renderer under Xvfb), current on a surface.
class GLContextTest : public ::testing::Test {
protected:
    void SetUp() override {
        QSurfaceFormat format;
        format.setVersion(3, 3);
        format.setProfile(QSurfaceFormat::CoreProfile);
        _context.setFormat(format);
        ASSERT_TRUE(_context.create());
        _surface.setFormat(_context.format());
        _surface.create();
        ASSERT_TRUE(_context.makeCurrent(&_surface));
    }
    void TearDown() override { _context.doneCurrent(); }

    QOpenGLContext _context;
    QOffscreenSurface _surface;
};

} // namespace QuillabyTest
