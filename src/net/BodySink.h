#pragma once
// Where a request's body goes instead of memory: a request that has a sink
// hands each read of a successful answer to it as the read completes, so
// its own buffer holds one read at a time whatever the body's size. The
// sink is shared by its owner (who reads its state before the request is
// sent and after it came back) and the request (whose transport thread
// writes to it while the request is in flight; never both at once).

#include <cstddef>
#include <cstdint>

namespace NetEx {

class IBodySink {
public:
    virtual ~IBodySink() = default;

    // The size of the whole file the body belongs to, 0 when unknown: a
    // ranged answer may not run past it. Any thread.
    virtual std::uint64_t FileSize() const = 0;
    // Transport thread, once per answer before its first byte: the body
    // starts at byte `offset` of the file (0 when a server answered a later
    // range with the whole file, which then starts again). False refuses the
    // answer: with *error 0 these are not the bytes the sink takes next (an
    // unexpected answer), else *error is the failure's number.
    virtual bool BeginBody(std::uint64_t offset, std::uint32_t* error) = 0;
    // Transport thread: the next bytes of the body. False with the failure's
    // number (a full disk, 112).
    virtual bool WriteBody(const void* data, std::size_t size, std::uint32_t* error) = 0;
    // The answer is over (complete, failed or dropped); called once after
    // BeginBody, by whichever thread holds the request then.
    virtual void EndBody() = 0;
};

} // namespace NetEx
