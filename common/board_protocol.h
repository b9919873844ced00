// The bytes that frame the board's replies: every reply ends with ETB (code 23), and while the
// human plays Black the board ends its move reports with a line feed instead.
#pragma once

namespace osa {

constexpr char end_of_reply = 23;
constexpr char line_feed = 10;

}  // namespace osa
