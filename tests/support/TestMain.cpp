// The main of every test executable: a Qt application (QApplication for GUI
// tests, QCoreApplication otherwise) around GoogleTest.
#include <QtGlobal>
#ifdef KORVEL_GUI_TEST
#include <QApplication>
#include <dlfcn.h>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

#include <gtest/gtest.h>

int main(int argc, char **argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifdef KORVEL_GUI_TEST
    // The software OpenGL driver behind the 3-D surface is unloaded when the
    // last GL context goes; what it allocated for the process's life then shows
    // as leaks from an unknown module that no suppression can name. Holding the
    // driver keeps them attributable to it.
    dlopen(KORVEL_GL_DRIVER, RTLD_NOW | RTLD_NODELETE);
#endif
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
