#pragma once

#include "LoopbackHttpServer.h"
#include "Services/WebService.h"

#include <QTest>

#include <gtest/gtest.h>

#include <functional>

namespace QuillabyTest {

// A loopback server that the web-service clients talk to for the length of one test.
class WebServiceTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(server.start());
        Quillaby::WebService::setSiteAddressForTesting(server.url());
    }
    void TearDown() override { Quillaby::WebService::setSiteAddressForTesting(QUrl()); }

    LoopbackHttpServer server;
};

// Runs the event loop until the condition holds; false after `ms` without it.
inline bool waitUntil(const std::function<bool()>& condition, int ms = 5000) {
    return QTest::qWaitFor(condition, ms);
}

} // namespace QuillabyTest
