#include "ecu/EcuIdentity.h"

#include "firmware/Swid.h"

namespace korvel {

bool EcuIdentity::EcuSwid(const QByteArray &block, const SwidCrc &crc) {
    if (block.size() != kSwidBlockSize)
        return false;
    swid = crc.swid(block);
    valid = true;
    return true;
}

} // namespace korvel
