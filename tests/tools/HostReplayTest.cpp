// The replay of a transcript's host side: the client's bytes compared as they
// come, however they are cut, the host's chunks at their recorded gaps, and
// the first divergence caught at its byte.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/PacketFiles.h"
#include "tools/HostReplay.h"

namespace {

TTranscript GoldenTranscript(const std::string& name) {
    return ReadTranscript(FileBytes(std::filesystem::path(TREVALON_TEST_DATA_DIR) / ".." / "data" /
                                    "transcripts" / (name + ".jsonl")));
}

// The client's bytes of a transcript, in order.
std::string ClientBytes(const TTranscript& transcript) {
    std::string bytes;
    for (const TTranscriptEntry& e : transcript.Entries)
        if (e.Kind == TTranscriptEntry::teToHost) bytes += e.Data;
    return bytes;
}

std::string HostBytes(const TTranscript& transcript) {
    std::string bytes;
    for (const TTranscriptEntry& e : transcript.Entries)
        if (e.Kind == TTranscriptEntry::teFromHost) bytes += e.Data;
    return bytes;
}

TEST(THostReplay, TheRecordedClientGetsTheRecordedHostWhateverItsChunks) {
    for (const char* name : {"request-init", "store-init", "request-split"}) {
        const TTranscript transcript = GoldenTranscript(name);
        const std::string client = ClientBytes(transcript);
        for (std::size_t size : {std::size_t{1}, std::size_t{7}, client.size()}) {
            THostReplay replay(transcript, true);
            std::string host;
            for (const THostChunk& c : replay.Opening()) host += c.Bytes;
            for (std::size_t at = 0; at < client.size(); at += size)
                for (const THostChunk& c : replay.Feed(std::string_view(client).substr(at, size))) {
                    EXPECT_EQ(c.GapMs, 0u);
                    host += c.Bytes;
                }
            EXPECT_TRUE(replay.Finished()) << name << " in chunks of " << size;
            EXPECT_EQ(host, HostBytes(transcript)) << name;
            EXPECT_EQ(replay.ClientBytes(), client.size());
        }
    }
}

TEST(THostReplay, ChunksKeepTheirRecordedGaps) {
    TTranscript transcript;
    transcript.Header.Kind = "request";
    transcript.Entries = {{TTranscriptEntry::teToHost, 10, "abc", {}, {}, {}},
                          {TTranscriptEntry::teFromHost, 250, "x", {}, {}, {}},
                          {TTranscriptEntry::teFromHost, 400, "y", {}, {}, {}}};
    THostReplay replay(transcript, false);
    const std::vector<THostChunk> due = replay.Feed("abc");
    ASSERT_EQ(due.size(), 2u);
    EXPECT_EQ(due[0].GapMs, 240u);
    EXPECT_EQ(due[1].GapMs, 150u);
    EXPECT_TRUE(replay.Finished());
}

TEST(THostReplay, ADivergenceIsCaughtAtItsByte) {
    const TTranscript transcript = GoldenTranscript("request-init");
    const std::string client = ClientBytes(transcript);
    for (std::size_t at : {std::size_t{0}, std::size_t{5}, client.size() / 2, client.size() - 1}) {
        std::string edited = client;
        edited[at] = static_cast<char>(edited[at] ^ 0x20);
        THostReplay replay(transcript, true);
        for (std::size_t from = 0; from < edited.size() && !replay.Divergence(); from += 3)
            replay.Feed(std::string_view(edited).substr(from, 3));
        ASSERT_TRUE(replay.Divergence().has_value()) << at;
        EXPECT_EQ(replay.Divergence()->Offset, at);
        EXPECT_EQ(replay.Divergence()->Expected.front(), client[at]);
        EXPECT_EQ(replay.Divergence()->Received.front(), edited[at]);
        EXPECT_FALSE(replay.Finished());
        EXPECT_EQ(replay.Divergence()->Report().rfind("client byte " + std::to_string(at) + ":", 0), 0u);
    }
    // More than was recorded is a divergence too.
    THostReplay replay(transcript, true);
    replay.Feed(client + "\x06");
    ASSERT_TRUE(replay.Divergence().has_value());
    EXPECT_EQ(replay.Divergence()->Offset, client.size());
    EXPECT_EQ(replay.Divergence()->Expected, "");
}

}  // namespace
