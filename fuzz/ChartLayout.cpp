// "doNOTchange.cfg" as a user or an older version may leave it (any bytes),
// restored into the chart slots, which are then reordered and ticked.
#include "FuzzCheck.h"
#include "live/ChartLayoutFile.h"
#include "live/ChartSlots.h"

using namespace korvel;
using korvel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    fuzz::Input in(data, size);
    // How many channels the protocol has (up to 80), then up to 15 user actions.
    const int channels = in.byte() % 81;
    const QByteArray actions = in.bytes(2 * (in.byte() % 16));
    const QByteArray bytes = in.rest();

    const QList<int> layout = chartlayout::decode(bytes, channels);
    require(layout.size() == channels, "a slot for every channel");
    // What the program writes back reads back the same: slots fit in the three characters that count.
    const QList<int> again = chartlayout::decode(chartlayout::encode(layout), channels);
    require(again == layout, "a written layout reads back");

    ChartSlots charts;
    charts.build(channels);
    charts.restore(&layout);
    charts.finishBuild();
    for (qsizetype i = 0; i + 1 < actions.size() && channels > 0; i += 2) {
        const int channel = 1 + static_cast<std::uint8_t>(actions[i]) % channels;
        const int action = static_cast<std::uint8_t>(actions[i + 1]) % 6;
        if (action < 4) {
            if (charts.shown(channel))
                charts.move(channel, static_cast<ChartSlots::Move>(action + 1));
        } else {
            charts.setTicked(channel, action == 4);
        }
    }
    require(charts.savedLayout().size() == channels, "a saved slot for every channel");
    return 0;
}
