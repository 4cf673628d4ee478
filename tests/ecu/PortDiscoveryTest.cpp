#include "ecu/PortDiscovery.h"
#include "core/ProgramLog.h"
#include "core/SettingsList.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(PortDiscovery, TakesComNamesOfAtMostFiveCharacters) {
    const QStringList devices{"COM1", "Global", "COM10", "COM100", "com3", "LPT1", "CoM99", "COMX", "C:", "COM"};
    EXPECT_EQ(selectComPorts(devices), QStringList({"COM1", "COM10", "com3", "CoM99", "COMX", "COM"}));
    EXPECT_EQ(selectComPorts({"COM7"}), QStringList({"COM7"})) << "the first name counts like every other";
    EXPECT_TRUE(selectComPorts({}).isEmpty());
}

TEST(PortDiscovery, AddsConfiguredDevicesThatExistAfterTheSystemPorts) {
    const QStringList present{"/dev/pts/4", "/dev/serial/by-id/usb-FTDI-if00", "/dev/ttyUSB0"};
    const auto exists = [&](const QString &name) { return present.contains(name); };
    EXPECT_EQ(collectSerialPorts({"/dev/ttyUSB0", "/dev/ttyS0"},
                                 {"/dev/serial/by-id/usb-FTDI-if00", "/dev/pts/4", "COM1", "/dev/ttyUSB0", ""}, exists),
              QStringList({"/dev/ttyUSB0", "/dev/ttyS0", "/dev/serial/by-id/usb-FTDI-if00", "/dev/pts/4"}));
    EXPECT_EQ(collectSerialPorts({}, {"/dev/ttyACM9"}, exists), QStringList());
}

TEST(PortDiscovery, DisablesTheEcuLinkWhenNoPortIsFoundOrTheListFails) {
    struct Case {
        PortDiscovery discovery;
        QString message;
        int errorComPorts;
    };
    const Case cases[] = {
        {{{"/dev/ttyUSB0"}, false}, {}, 0},
        {{{}, false}, "ОШИБКА: В вашей системе нет COM портов!", 1},
        {{{}, true}, "ОШИБКА: Невозможно получить список COM портов!", 1},
    };
    for (const Case &c : cases) {
        SettingsList settings;
        ProgramLog log;
        EXPECT_EQ(publishDiscovery(c.discovery, settings, log), c.errorComPorts);
        EXPECT_EQ(log.lines(), c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_EQ(settings.pickList("Ecu Com"), c.discovery.PortList);
        EXPECT_EQ(settings.pickList("LC-1 Com"), c.discovery.PortList);
    }
}

TEST(PortDiscovery, FindsAPseudoTerminalNamedInTheSettings) {
    // /dev/ptmx exists on every Linux system; it stands for any configured device path.
    const PortDiscovery found = DiscoverPorts({"/dev/ptmx", "/dev/no-such-adapter"});
    EXPECT_FALSE(found.listFailed);
    EXPECT_TRUE(found.PortList.contains("/dev/ptmx"));
    EXPECT_FALSE(found.PortList.contains("/dev/no-such-adapter"));
}
