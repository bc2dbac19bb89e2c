#include "support/FakeBoard.h"

#include "protocol/CANMessage.h"
#include "protocol/SerialMessage.h"
#include "support/Frames.h"

#include <algorithm>

#include <unistd.h>

using namespace SharedVariables;

FakeBoard::FakeBoard(Fault fault)
    : fault(fault)
{
    block.setS16(address(1, SpeedMax), 30);
    QObject::connect(&poll, &QTimer::timeout, [this] { serve(); });
    poll.start(2);
}

void FakeBoard::serve()
{
    char chunk[4096];
    for (ssize_t n; (n = ::read(pty.masterFd(), chunk, sizeof chunk)) > 0;)
        pending.append(chunk, int(n));
    for (; pending.size() >= SerialMessage::FrameSize; pending.remove(0, SerialMessage::FrameSize)) {
        if (!handle(reinterpret_cast<const uint8_t*>(pending.constData())))
            return;
        afterFrame();
    }
}

bool FakeBoard::handle(const uint8_t* bytes)
{
    const int at = joinAddress(bytes[SerialMessage::Priority], bytes[SerialMessage::Cmd]);
    if (bytes[SerialMessage::Type] != SerialMessage::VariableType || fault == Silent)
        return true;
    if (bytes[SerialMessage::BootRtrLength] & SerialMessage::RtrBit) {
        reply(at, stale > 0 ? before : block);
        stale = std::max(0, stale - 1);
        return true;
    }
    writes << QByteArray(reinterpret_cast<const char*>(bytes), SerialMessage::FrameSize).toHex();
    before = block;
    if (fault != KeepsValue)
        block.store(at, bytes + SerialMessage::Data, bytes[SerialMessage::BootRtrLength] & 0x0F);
    stale = fault == StaleReply ? 1 : 0;
    if (fault == SilentAfterSave && at == SaveEEPROMAddress)
        fault = Silent;
    if (fault == HangsUpAfterWrite && at != SaveEEPROMAddress) {
        poll.stop();
        pty.closeMaster();
        return false;
    }
    return true;
}

void FakeBoard::reply(int at, const Block& from)
{
    CANMessage message;
    message.priority = priorityOf(at);
    message.type = SerialMessage::VariableType;
    message.cmd = cmdOf(at);
    message.dest = 1;
    message.dataLength = 8;
    std::copy_n(from.data() + at, std::min(8, BlockSize - at), message.data);
    pty.write(wireBytes(SerialMessage(message)));
}
