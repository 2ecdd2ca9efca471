// What a controller answers to each Modbus function it is sent.
#include "sim/frame.h"
#include "sim/line.h"

namespace torv::sim {

namespace {

unsigned word(const std::vector<std::uint8_t>& f, std::size_t at) { return (f[at] << 8u) | f[at + 1]; }

std::vector<std::uint8_t> readHolding(Controller& c, const std::vector<std::uint8_t>& f)
{
    const unsigned count = word(f, 4);
    std::vector<std::uint8_t> reply{f[0], f[1], static_cast<std::uint8_t>(2 * count)};
    if (const std::uint8_t code = c.readRegisters(word(f, 2), count, reply))
        return exceptionReply(f[0], f[1], code);
    return reply;
}

std::vector<std::uint8_t> writeSingle(Controller& c, const std::vector<std::uint8_t>& f)
{
    if (const std::uint8_t code = c.writeRegister(word(f, 2), f[4], f[5]))
        return exceptionReply(f[0], f[1], code);
    // The echo keeps the address the request came to, even when the write moved the controller.
    return {f.begin(), f.begin() + 6};
}

struct FunctionEntry {
    std::uint8_t code;
    std::vector<std::uint8_t> (*serve)(Controller&, const std::vector<std::uint8_t>&);
};
constexpr FunctionEntry kFunctions[] = {{3, readHolding}, {6, writeSingle}};

} // namespace

std::vector<std::uint8_t> serveRequest(Controller& c, const std::vector<std::uint8_t>& frame)
{
    for (const auto& f : kFunctions)
        if (f.code == frame[1])
            return f.serve(c, frame);
    return exceptionReply(frame[0], frame[1], exception::IllegalFunction);
}

} // namespace torv::sim
