// errors.cfg: one trouble-code name per line, in any encoding the reader accepts.
#include "FuzzCheck.h"
#include "firmware/ErrorNames.h"

using namespace korvel;
using korvel::fuzz::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const ErrorNames names = parseErrorNames(bytes);
    for (int codeByte = -1; codeByte <= ErrorNames::kCodeBytes; ++codeByte)
        for (int bit = -1; bit <= ErrorNames::kBits; ++bit) {
            const QString name = names.name(codeByte, bit);
            const bool inside =
                codeByte >= 0 && codeByte < ErrorNames::kCodeBytes && bit >= 0 && bit < ErrorNames::kBits;
            require(inside || name.isEmpty(), "no name outside the code bits");
            require(!name.contains(QLatin1Char('\n')), "a name is one line");
        }
    require(parseErrorNames(bytes) == names, "the same bytes give the same names");
    return 0;
}
