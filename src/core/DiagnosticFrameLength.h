#pragma once

namespace korvel {

// Lengths of the diagnostic frame the ECU sends: the fast protocol's 51 bytes
// and the standard protocol's 36. A frame is told apart by its length alone.
inline constexpr int kFastFrameLength = 51;
inline constexpr int kStandardFrameLength = 36;

} // namespace korvel
