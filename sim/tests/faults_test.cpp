// Faults change the reply as documented, for as many replies as asked.
#include <gtest/gtest.h>

#include "helpers.h"
#include "vsim/control.h"
#include "vsim/instrument.h"

using namespace vsimtest;
using vsim::Fault;
using vsim::Instrument;

namespace {

Instrument::Reply raw(Instrument &inst, const std::vector<uint8_t> &req) { return inst.handle(req.data(), req.size()); }

TEST(Faults, HeaderDamage)
{
    Instrument inst;
    inst.inject({Fault::WrongMagic});
    inst.inject({Fault::ZeroDirection});
    inst.inject({Fault::WrongCommand, 0, 9});
    Instrument::Reply r = raw(inst, request(vsim::CmdBind));
    ASSERT_GE(r.bytes.size(), 16u);
    EXPECT_NE(std::string(r.bytes.begin(), r.bytes.begin() + 8), "DSOPPV20");
    EXPECT_EQ(r.bytes[12], 0);
    EXPECT_EQ(r.bytes[13], 9);
    // Each applied once: the next reply is clean.
    EXPECT_TRUE(ask(inst, request(vsim::CmdBind)).ok);
    EXPECT_TRUE(inst.faults().empty());
}

TEST(Faults, WrongCommandDefaultsToACodeNeverSent)
{
    Instrument inst;
    inst.inject({Fault::WrongCommand});
    EXPECT_EQ(raw(inst, request(vsim::CmdBind)).bytes[13], 3);
}

TEST(Faults, DeliveryHintsForTheServers)
{
    Instrument inst;
    inst.inject({Fault::Drop, vsim::CmdUnbind});
    inst.inject({Fault::Delay, 0, 250});
    inst.inject({Fault::PartialWrites});
    inst.inject({Fault::Disconnect, 0, 10});
    Instrument::Reply r = raw(inst, request(vsim::CmdBind));
    EXPECT_FALSE(r.drop);  // the drop waits for an unbind
    EXPECT_EQ(r.delayMs, 250);
    EXPECT_TRUE(r.partialWrites);
    EXPECT_EQ(r.disconnectAfter, 10);
    EXPECT_TRUE(raw(inst, request(vsim::CmdUnbind)).drop);
    r = raw(inst, request(vsim::CmdUnbind));
    EXPECT_FALSE(r.drop);
    EXPECT_EQ(r.delayMs, 0);
    EXPECT_EQ(r.disconnectAfter, -1);
}

TEST(Faults, TruncateKeepsTheFirstBytesAndRemembersTheFullLength)
{
    Instrument inst;
    inst.inject({Fault::Truncate, 0, 20});
    Instrument::Reply r = raw(inst, request(vsim::CmdBind));
    EXPECT_EQ(r.bytes.size(), 20u);
    EXPECT_EQ(r.truncatedFrom, 16 + 96);
    EXPECT_EQ(be32(&r.bytes[8]), 96u);  // the header still promises the whole payload
}

TEST(Faults, FaultsCombineWhateverTheirOrder)
{
    Instrument inst;
    inst.inject({Fault::Truncate, 0, 20});
    inst.inject({Fault::Refuse, 0, 4});
    inst.inject({Fault::OversizeLength, 0, 200});
    inst.inject({Fault::WrongCommand, 0, 7});
    Instrument::Reply r = raw(inst, request(vsim::CmdBind));
    ASSERT_EQ(r.bytes.size(), 20u);
    EXPECT_EQ(r.truncatedFrom, 216);
    EXPECT_EQ(be32(&r.bytes[8]), 200u);
    EXPECT_EQ(r.bytes[13], 7);
    EXPECT_EQ(r.bytes[16], 4);
    // A truncation to nothing still leaves a reply to send (nothing at all).
    inst.inject({Fault::Truncate, 0, 0});
    inst.inject({Fault::BadChunkChecksum, 0, 0, -1});
    r = raw(inst, request(vsim::CmdUnbind));
    EXPECT_TRUE(r.bytes.empty());
    EXPECT_FALSE(r.drop);
}

TEST(Faults, OversizeLengthAnnouncesAndSendsThatMany)
{
    Instrument inst;
    inst.inject({Fault::OversizeLength});
    Instrument::Reply r = raw(inst, request(vsim::CmdUnbind));
    EXPECT_EQ(be32(&r.bytes[8]), 30000u);
    EXPECT_EQ(r.bytes.size(), 16u + 30000u);
    inst.inject({Fault::OversizeLength, 0, 26000});
    EXPECT_EQ(raw(inst, request(vsim::CmdUnbind)).bytes.size(), 16u + 26000u);
}

TEST(Faults, RefuseSetsTheStatusByte)
{
    Instrument inst;
    inst.inject({Fault::Refuse});
    EXPECT_EQ(ask(inst, request(vsim::CmdBind)).payload[0], 1);
    inst.inject({Fault::Refuse, vsim::CmdRead, 7});
    Parsed r = ask(inst, readRequest(0));
    EXPECT_EQ(r.payload[0], 7);
    EXPECT_EQ(ask(inst, readRequest(0)).payload[0], 0);
}

TEST(Faults, RecordFaultsTouchOnlyWaveReplies)
{
    Instrument inst(10);
    inst.inject({Fault::ShortRecord});
    // A status reply passes by untouched and leaves the fault armed.
    EXPECT_EQ(ask(inst, readRequest(0)).payload.size(), 72u);
    Parsed r = ask(inst, readRequest(1));
    ASSERT_TRUE(r.ok);
    uint32_t l = be32(&r.payload[4]);
    EXPECT_GT(l, 0u);
    EXPECT_LT(r.payload.size(), 8 + l);

    inst.inject({Fault::OversizeRecord, 0, 5000});
    r = ask(inst, readRequest(5));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(be32(&r.payload[4]), 5000u);
    EXPECT_GE(r.payload.size(), 5008u);
    EXPECT_GT(5000, vsim::familyRecordLength(0));
}

TEST(Faults, ChunkFaults)
{
    Instrument inst;
    ASSERT_TRUE(ask(inst, request(vsim::CmdBmpBegin)).ok);
    Parsed good = ask(inst, chunkRequest(1));
    inst.inject({Fault::BadChunkChecksum});
    Parsed bad = ask(inst, chunkRequest(1));
    EXPECT_EQ(be32(&bad.payload[8]), be32(&good.payload[8]) + 1);
    inst.inject({Fault::WrongChunkIndex});
    EXPECT_EQ(be32(&ask(inst, chunkRequest(1)).payload[0]), 2u);
    // Fails twice, then the same chunk comes through.
    inst.inject({Fault::ChunkFail, 0, 2});
    EXPECT_NE(ask(inst, chunkRequest(0)).payload[24013], 0);
    EXPECT_NE(ask(inst, chunkRequest(0)).payload[24013], 0);
    Parsed ok = ask(inst, chunkRequest(0));
    EXPECT_EQ(ok.payload[24012], 0);
    EXPECT_EQ(ok.payload[24013], 0);
}

TEST(Faults, CommandFilterAndRepeatCounts)
{
    Instrument inst;
    inst.inject({Fault::Refuse, vsim::CmdKey, 0, 2});
    EXPECT_EQ(ask(inst, readRequest(0)).payload[0], 0);
    EXPECT_EQ(ask(inst, keyRequest(45)).payload[0], 1);
    EXPECT_EQ(ask(inst, keyRequest(45)).payload[0], 1);
    EXPECT_EQ(ask(inst, keyRequest(45)).payload[0], 0);
    inst.inject({Fault::Refuse, 0, 0, -1});
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(ask(inst, request(vsim::CmdUnbind)).payload[0], 1);
    inst.clearFaults();
    EXPECT_EQ(ask(inst, request(vsim::CmdUnbind)).payload[0], 0);
}

TEST(Faults, ADroppedKeyStillActs)
{
    Instrument inst;
    inst.inject({Fault::Drop});
    EXPECT_TRUE(raw(inst, keyRequest(45)).drop);
    EXPECT_TRUE(inst.state().cursor);
}

TEST(Faults, WrongReadKindDisguisesOnlyReads)
{
    Instrument inst(70);
    inst.inject({Fault::WrongReadKind, 0, 0, 2});
    EXPECT_EQ(raw(inst, request(vsim::CmdBind)).bytes[17], 70) << "the product code stays";
    EXPECT_EQ(raw(inst, readRequest(4)).bytes[17], 5) << "the next kind by default";
    inst.inject({Fault::WrongReadKind, 0, 1});
    EXPECT_EQ(raw(inst, readRequest(0)).bytes[17], 1);
    EXPECT_TRUE(inst.faults().empty());
}

TEST(FaultSpec, ParsesKindArgumentCommandAndTimes)
{
    auto f = vsim::parseFault("delay:300@5x4");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, Fault::Delay);
    EXPECT_EQ(f->arg, 300);
    EXPECT_EQ(f->command, 5);
    EXPECT_EQ(f->times, 4);
    f = vsim::parseFault("wrong-chunk-index");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, Fault::WrongChunkIndex);
    EXPECT_EQ(f->times, 1);
    f = vsim::parseFault("wrong-chunk-indexx3");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->times, 3);
    f = vsim::parseFault("Chunk_Fail:2@12");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->kind, Fault::ChunkFail);
    EXPECT_EQ(f->arg, 2);
    EXPECT_EQ(f->command, 12);
    f = vsim::parseFault("refuse@1x*");
    ASSERT_TRUE(f);
    EXPECT_EQ(f->times, -1);
    for (int k = Fault::Drop; k <= Fault::WrongReadKind; ++k) {
        auto named = vsim::parseFault(vsim::faultName(Fault::Kind(k)));
        ASSERT_TRUE(named) << vsim::faultName(Fault::Kind(k));
        EXPECT_EQ(named->kind, k);
    }
}

TEST(FaultSpec, RejectsMalformedText)
{
    std::string why;
    EXPECT_FALSE(vsim::parseFault("explode", &why));
    EXPECT_NE(why.find("explode"), std::string::npos);
    EXPECT_FALSE(vsim::parseFault("delay:abc"));
    EXPECT_FALSE(vsim::parseFault("delay@"));
    EXPECT_FALSE(vsim::parseFault("delay@300"));
    EXPECT_FALSE(vsim::parseFault("dropx0"));
    EXPECT_FALSE(vsim::parseFault("drop!"));
    EXPECT_FALSE(vsim::parseFault(""));
}

TEST(Control, CommandsListsTheLastRequestsHandled)
{
    Instrument inst(70);
    bool quit = false;
    raw(inst, request(vsim::CmdBind));
    raw(inst, readRequest(0));
    raw(inst, request(vsim::CmdUnbind));
    EXPECT_EQ(vsim::runControl("commands", inst, nullptr, quit), "ok commands 1 5 2");
    for (int i = 0; i < 100; ++i)
        raw(inst, request(vsim::CmdBmpEnd));
    EXPECT_EQ(inst.recentCommands(), std::vector<uint8_t>(64, vsim::CmdBmpEnd));
}

TEST(Control, LinesChangeTheRunningInstrument)
{
    Instrument inst(70);
    bool quit = false;
    EXPECT_EQ(vsim::runControl("fault drop@5", inst, nullptr, quit), "ok");
    EXPECT_TRUE(raw(inst, readRequest(0)).drop);
    EXPECT_EQ(vsim::runControl("model 58", inst, nullptr, quit), "ok family 1");
    EXPECT_EQ(inst.productCode(), 58);
    EXPECT_EQ(vsim::runControl("key 45", inst, nullptr, quit), "ok");
    EXPECT_TRUE(inst.state().cursor);
    EXPECT_EQ(vsim::runControl("key 3", inst, nullptr, quit), "error key refused");
    EXPECT_EQ(vsim::runControl("signal 2 pulse 5000 2.5", inst, nullptr, quit), "ok");
    EXPECT_EQ(inst.state().channels[1].signal.wave, vsim::Wave::Pulse);
    EXPECT_DOUBLE_EQ(inst.state().channels[1].signal.frequency, 5000);
    EXPECT_NE(vsim::runControl("fault nonsense", inst, nullptr, quit).rfind("error", 0), std::string::npos);
    EXPECT_FALSE(quit);
    EXPECT_EQ(vsim::runControl("quit", inst, nullptr, quit), "ok");
    EXPECT_TRUE(quit);
}

}  // namespace
