#include <string>

#include "encoding/value_constructors.h"
#include "round_trips.h"
#include "win/automation_values.h"
#include "win/message_pump.h"

namespace kivostrel::winbench {

namespace {
constexpr DWORD kTimeoutMs = 5000;
}

ControlRoundTrips::ControlRoundTrips(const CLSID& clsid, std::uint16_t responder_port)
    : control_(clsid),
      remote_ip_(::SysAllocString(L"127.0.0.1")),
      remote_port_(::SysAllocString(std::to_wstring(responder_port).c_str())),
      community_(::SysAllocString(L"public")),
      bindings_(com::SafeArrayFromBytes(SNMPNullValue("1.3.6.1.2.1.1.1.0"))) {
  if (!control_.ok() || FAILED(sink_.Advise(control_.get()))) return;
  ready_ = DispatchMessagesUntil([&] { return sink_.readies > 0; }, kTimeoutMs);
}

ControlRoundTrips::~ControlRoundTrips() {
  sink_.Unadvise();
}

bool ControlRoundTrips::Run(int count) {
  for (int i = 0; i < count; ++i) {
    const std::int32_t id = next_request_id_++;
    const long responses = sink_.responses + 1;
    const long readies = sink_.readies + 1;
    SAFEARRAY* bindings = bindings_.get();
    if (FAILED(control_.SendGetRequest(remote_ip_.get(), remote_port_.get(), community_.get(), id,
                                       &bindings)))
      return false;
    // An [in, out] array may come back replaced: keep whatever the control left.
    if (bindings != bindings_.get()) {
      bindings_.Detach();
      bindings_.reset(bindings);
    }
    if (!DispatchMessagesUntil(
            [&] { return sink_.responses >= responses && sink_.readies >= readies; }, kTimeoutMs))
      return false;
    if (sink_.last_request_id != id || sink_.ws_errors != 0) return false;
  }
  return true;
}

}  // namespace kivostrel::winbench
