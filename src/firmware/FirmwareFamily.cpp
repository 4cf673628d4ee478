#include "firmware/FirmwareFamily.h"

namespace korvel {

const std::vector<SwidRow> &swidTable() {
    static const std::vector<SwidRow> table = {
        {{"A9281EF8", "993A5713"}, {"J5LS_V43", firmwarefamily::J5ls}},
        {{"2E7A30A2"}, {"J5LS_V46", firmwarefamily::J5ls}},
        {{"45045B75"}, {"J5LS_L43", firmwarefamily::J5ls}},
        {{"D732C13E", "BA182293"}, {"J5LS_N35", firmwarefamily::J5ls}},
        {{"892AC12C", "3BF5AB5F", "A2A64729", "0E847F18"}, {"VRK239", firmwarefamily::Vrk}},
        {{"F428A51F", "D798FEA4"}, {"VRK237", firmwarefamily::Vrk}},
        {{"1A0F650E"}, {"VRK247", firmwarefamily::Vrk}},
        {{"78334ED8", "CA7DC37E", "7189FBF5"}, {"VRK249", firmwarefamily::Vrk}},
        {{"4ED41CAC"}, {"VRK249_06", firmwarefamily::Vrk}},
        {{"53A450D3"}, {"VRK236", firmwarefamily::Vrk}},
        {{"8CAFD48D"}, {"VRK241", firmwarefamily::Vrk}},
        {{"6B3E4B7A"}, {"VRK243", firmwarefamily::Vrk}},
        {{"7BC0D17F"}, {"J7ESA(042)", firmwarefamily::J7esa}},
        {{"06EACFC3"}, {"J7ESA(043)", firmwarefamily::J7esa}},
        {{"261E289B"}, {"J7ESA(044)", firmwarefamily::J7esa}},
        {{"35A766EF"}, {"J7ESA(045)", firmwarefamily::J7esa}},
        {{"A0C14118"}, {"J7ESA(049)", firmwarefamily::J7esa}},
        {{"8ABD6470"}, {"J7ESA(075)", firmwarefamily::J7esa}},
    };
    return table;
}

FirmwareType firmwareTypeOfSwid(const QString &swid) {
    for (const SwidRow &row : swidTable())
        if (row.swids.contains(swid, Qt::CaseSensitive))
            return row.type;
    return {kUnknownFirmware, firmwarefamily::Standard};
}

} // namespace korvel
