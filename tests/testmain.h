#pragma once

#include "boxanswerer.h"
#include "teststore.h"

#include <QApplication>
#include <QSerialPort>
#include <QTest>

// Use instead of QTEST_MAIN. Before the application object exists the
// settings store moves into a directory private to this run, so no test reads
// or writes the user's settings; widgets render offscreen unless the caller
// chose a platform. QSignalSpy can record QSerialPort::errorOccurred.
#define VANTREL_TEST_MAIN(TestClass)                                                               \
    int main(int argc, char *argv[])                                                               \
    {                                                                                              \
        TestStore::isolate();                                                                      \
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))                                        \
            qputenv("QT_QPA_PLATFORM", "offscreen");                                               \
        QApplication app(argc, argv);                                                              \
        qRegisterMetaType<QSerialPort::SerialPortError>();                                         \
        app.setAttribute(Qt::AA_Use96Dpi, true);                                                   \
        BoxAnswerer::installStrayBoxGuard();                                                       \
        TestClass testObject;                                                                      \
        QTEST_SET_MAIN_SOURCE_PATH                                                                 \
        return QTest::qExec(&testObject, argc, argv);                                              \
    }
