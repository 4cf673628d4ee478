#pragma once

#include "live/LiveParameters.h"

#include <QString>

namespace korvel {

// One compact line of the main values for `korvel-cli monitor --live`, e.g.
// "rpm=3000 thr=50 ect=90 afr=14.7 wb=14.70 spd=60 ign=-5 inj=4 ubat=12.741 load=10 kpa=0 idle=0 knock=0".
QString monitorLine(const LiveParameters &p);

} // namespace korvel
