#pragma once

#include "CSimulatedReader.h"
#include "CReaderFrame.h"

#include <QString>

#include <vector>

// A framed reader's reply as the link hands it to its caller: the text and
// its checksum, without the frame's start and end bytes.
inline QString FramedReply(const QByteArray& text)
{
    return QString::fromLatin1(text + CReaderFrame::Checksum(text));
}

// Read commands whose replies all differ, so a reply handed to the wrong
// caller shows; the reader must be prepared by PrepareDistinctReplies.
struct DistinctCommand {
    char letter;
    const char* data;
    QString reply;
};

inline void PrepareDistinctReplies(CSimulatedReader& reader)
{
    reader.SetParameter(0x0011);
    reader.SetSwitchCode(0x0022);
    reader.SetTransponder(0, "ABCDEF0123");
    reader.SetTransponder(1, "3210FEDCBA");
}

inline std::vector<DistinctCommand> DistinctCommands()
{
    return {
        {'L', "P0000", FramedReply("FFLP0011")},
        {'L', "P0001", FramedReply("FFLP0022")},
        {'L', "P0002", FramedReply("FFLP0002")},
        {'L', "T0000", FramedReply("FFLTABCDEF0123")},
        {'L', "T0001", FramedReply("FFLT3210FEDCBA")},
        {'L', "S0000", FramedReply("FFLS0123456789ABCDEF0123")},
    };
}
