#pragma once
#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "link/modbus_link.h"
#include "station/result.h"

namespace torv {

// One step of the bus test: an address asked, and whether a controller
// answered there and gave its whole memory (then `row` holds it).
struct BusTestStep {
    std::uint8_t address;
    bool found;
    const ImageRow& row;
};

struct BusTestResult : Result {
    std::vector<std::uint8_t> found; // in address order
};

// Where the programme stands: read afresh, the steps as the image holds them.
struct ProgrammeState : Result {
    bool running = false; // the controller is in a programme step
    int activeSteps = 0;  // steps with a duration
};

// The write-back chain: an address change when one is wanted and confirmed,
// then each row whose value differs from the controller's, each read back.
struct WriteBackRequest {
    std::optional<std::uint8_t> newAddress; // 1..250; ignored when the controller has it
    std::vector<ByteWrite> rows;            // in write order
    // Asked with the controller's address before it is changed; no answer is No.
    std::function<bool(std::uint8_t oldAddress)> confirmAddressChange;
    // Told right after the address write, before its read-back: whether the
    // controller took the new address.
    std::function<void(bool moved)> addressWritten;
    // Told when the moved controller answered at its new address.
    std::function<void()> addressConfirmed;
    // Asked before each row's write and once after the last: true stops the
    // chain there (a write in flight always gets its read-back first).
    std::function<bool()> stop;
};

struct WriteBackResult : Result {
    std::uint8_t finalAddress = 0; // where the controller answers afterwards
    bool moved = false;
};

// The tester station's work on the line, as operations on one controller
// that return what happened. Every frame, pause and reply wait is the
// window's; failures the window shows in a box are marked `reported` in the
// result and handed to `onReportedFailure` the moment they are judged, before
// the next pause or transaction: the window boxes them there, a caller
// without a window leaves it empty and reads the results.
// One thread; every call runs to its end.
class Station {
public:
    explicit Station(ModbusLink& link) : link_(link) {}

    ModbusLink& link() { return link_; }

    std::function<void(const Exchange&)> onReportedFailure;

    // The module read: the whole memory window, 8 registers at a time,
    // stopping at the first failure (reported, unless `reported` is off).
    Result readModule(std::uint8_t address, bool reported = true);
    // Whether the whole memory window of `address` has been read (a module
    // read or the bus test) since this station began: only then does the
    // image hold what a scan does not refresh, the LCD mode among it.
    bool wholeRead(std::uint8_t address) const { return wholeRead_[address]; }
    // Whether the line's last transaction was answered: a failed or unsent
    // one clears it, a bus test that found a controller sets it. A setting
    // change is written only after an answer.
    bool lastAnswered() const { return ReplyOk; }
    // The measurement scan: programme state, hours done and, when both
    // answered, the measurements. Failures are not reported. `stop`, when
    // given, is asked after each transaction: true skips the rest (the line
    // is wanted for something else), and the result says it was stopped.
    Result scan(std::uint8_t address, const std::function<bool()>& stop = {});
    // Whether a controller answers at `address` (the address word), unreported.
    Result probe(std::uint8_t address);
    // Every address 1..250 asked for its address word, and a controller that
    // answers read whole. `onStep` follows each address.
    BusTestResult busTest(const std::function<void(const BusTestStep&)>& onStep = {});

    // The alarm switch: the byte is written only when its meaning (non-zero
    // is on) differs from `on`, then read back.
    Result writeAlarm(std::uint8_t address, bool on);
    // One byte written as the window writes a changed setting: only when the
    // controller's copy differs and the line's last transaction was answered;
    // then read back.
    Result setByte(std::uint8_t address, int byte, std::uint8_t value);
    // The write-back chain of the settings page.
    WriteBackResult writeBack(std::uint8_t address, const WriteBackRequest& request);

    // The restart request: the controller's reset counter read afresh
    // (reported), then raised by one.
    Result reset(std::uint8_t address);
    // The reset counter raised by one as the image holds it, after a pause.
    Result requestReset(std::uint8_t address);
    // The controller's line settings (list indexes), each followed by a restart request.
    Result changeBaud(std::uint8_t address, int baudIndex);
    Result changeParity(std::uint8_t address, int parityIndex);

    // The programme's state read afresh (reported).
    ProgrammeState readProgrammeState(std::uint8_t address);
    // The start/stop command (the controller toggles its programme). Its
    // register's other half is read first (reported); without an answer
    // nothing is sent and the result is not ok.
    Result programmeCommand(std::uint8_t address);
    // The programme state and hours after a command (reported).
    Result readProgramme(std::uint8_t address);

private:
    class Recording;
    template <class R, class Work>
    R recorded(std::uint8_t address, Work&& work);
    // The module read, its first failure reported when `reported`.
    void blockRead(std::uint8_t address, bool reported = true);
    void read(std::uint8_t address, int start, int count, bool reported);
    void write(std::uint8_t address, int byte);

    ModbusLink& link_;
    int recordings_ = 0;     // operations in progress, an outer one first
    bool reporting_ = false; // the transaction in flight is one the window reports
    bool ReplyOk = false;  // the line's last transaction was answered
    std::array<bool, 256> wholeRead_{};
};

} // namespace torv
