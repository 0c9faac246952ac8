// The sound bank's one operation. See zvuk.h.
#include "sound/zvuk.h"

#include <cstdint>
#include <vector>

#include "assets/resources.h"
#include "forms/types.h"

namespace {

constexpr int kResourceNotFound = 326;

struct ResourceData {
  std::vector<std::uint8_t> bytes;
  int error = 0;  // 0, or kResourceNotFound
};

// A fresh copy of a resource built into the executable, or error 326 when there is no resource
// of that id and type.
ResourceData LoadResData(int id, std::string_view type) {
  ResourceData data;
  if (auto found = assets::find(type, id))
    data.bytes.assign(found->begin(), found->end());
  else
    data.error = kResourceNotFound;
  return data;
}

}  // namespace

void Zvuk::PlaySound(double id, std::string_view type) {
  ResourceData res = LoadResData(forms::roundEven(id), type);
  if (res.error == kResourceNotFound) {
    services_.messageBox(kAppName, "Please check the spelling of the ID or TYPE.");
    return;
  }
  // An empty resource cannot be played: stay silent and keep the sound that is playing.
  if (res.bytes.empty()) {
    return;
  }
  services_.playSound(res.bytes);
}
