#include "ecu/LinkError.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace korvel;

TEST(LinkError, LogsTheMessageOfItsCodeAndTheCounter) {
    struct Case {
        LinkErrorCode code;
        QString message;
    };
    const Case cases[] = {
        {LinkErrorCode::WrongAnswer, "ECU: << ОШИБКА Неправильный ответ блока!"},
        {LinkErrorCode::RamRead, "ECU: << ОШИБКА ЧТЕНИЯ RAM!"},
        {LinkErrorCode::NoAnswer, "ECU: << Нет ответа из блока!"},
    };
    for (const Case &c : cases)
        EXPECT_EQ(linkErrorLines({c.code, {}}, 1), QStringList({c.message, "Ошибка №1"}));
    EXPECT_EQ(linkErrorLines({LinkErrorCode::WrongAnswer, "Запрос - 81; Ответ - null; (C16B8F)"}, 7),
              QStringList({"Запрос - 81; Ответ - null; (C16B8F)", "Ошибка №7"}));
}

TEST(LinkError, LeavesTheCounterLineEmptyFromTheTwentiethError) {
    EXPECT_EQ(linkErrorLines({LinkErrorCode::NoAnswer, {}}, 19).last(), "Ошибка №19");
    EXPECT_EQ(linkErrorLines({LinkErrorCode::NoAnswer, {}}, 20), QStringList({"ECU: << Нет ответа из блока!", ""}));
    EXPECT_EQ(linkErrorLines({LinkErrorCode::NoAnswer, {}}, 250).last(), "");
}
