// The sound bank's one operation. See zvuk.h.
#include "sound/zvuk.h"

#include "forms/resources.h"
#include "forms/types.h"

void Zvuk::PlaySound(double id, std::string_view type) {
  forms::ResourceData res = forms::LoadResData(forms::roundEven(id), type);
  if (res.error == forms::kResourceNotFound) {
    host_.messageBox(kAppName, "Please check the spelling of the ID or TYPE.");
    return;
  }
  // An empty resource cannot be played: stay silent and keep the sound that is playing.
  if (res.error != 0 || res.bytes.empty()) {
    return;
  }
  // The host reads the new bytes while the old ones are released only after the hand-over,
  // which stops the old sound: swap them in, hand over, then let the old bytes go.
  std::vector<std::uint8_t> previous = std::move(soundBytes_);
  soundBytes_ = std::move(res.bytes);
  host_.playSound(soundBytes_);
}
