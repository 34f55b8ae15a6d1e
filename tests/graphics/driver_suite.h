// A test suite that shares one main window and one real c_GLDRIVER (a 64x64 window, not forced) among its
// tests.
#pragma once

#include <gtest/gtest.h>

#include "graphics/gldriver.h"
#include "platform/platform.h"
#include "shell/shell.h"

class DriverSuite : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    MainWindow = PlatformCreateMainWindow("Tunemill");
    ASSERT_NE(MainWindow, nullptr);
    GlDriver = new (__LINE__, "test") c_GLDRIVER(MainWindow, GLDRIVER_DOUBLEBUFFER, 64, 64, 32, 0);
    GlDriver->MakeCurrent();
  }
  // Video stays up until the process ends: ending it unloads the GL driver, whose process-lifetime
  // allocations would then show up as leaks of an unknown module.
  static void TearDownTestSuite() {
    delete GlDriver;
    GlDriver = nullptr;
    PlatformDestroyWindow(MainWindow);
    MainWindow = nullptr;
  }
};
