#include <string>
#include <vector>

#include "fuzz/FuzzTarget.h"
#include "link/Telnet.h"

// The Telnet / COM port control client on what a device server might send,
// cut into chunks: the first byte of each chunk gives its length (% 32 + 1).
// It must never throw, never give more data than it got, answer in bounded
// measure, and carry any data through its own escaping unchanged.
void FuzzTelnet(std::string_view data) {
    TTelnetClient client;
    TTelnetLine line;
    line.BaudRate = 0xFFFFFFFF;  // every byte of the speed doubled on the wire
    std::string replies = client.Start(line);
    std::vector<std::string> notes;
    std::size_t fed = 0;
    std::size_t got = 0;
    std::string_view rest = data;
    while (!rest.empty()) {
        const std::size_t size =
            std::min<std::size_t>(static_cast<unsigned char>(rest.front()) % 32 + 1, rest.size() - 1);
        rest.remove_prefix(1);
        got += client.Feed(rest.substr(0, size), replies, notes).size();
        fed += size;
        rest.remove_prefix(size);
        FUZZ_CHECK(got <= fed);
        // Each option command earns one answer, a COM port acceptance the settings.
        FUZZ_CHECK(replies.size() <= 64 + fed * 40);
        FUZZ_CHECK(notes.size() <= fed);
    }

    // A server in binary mode gets back exactly what was escaped.
    TTelnetClient peer;
    peer.Start({});
    std::string ignored;
    peer.Feed(std::string("\xFF\xFB\x00", 3), ignored, notes);
    FUZZ_CHECK(peer.Feed(TTelnetClient::Escape(data), ignored, notes) == data);
}

TREVALON_FUZZ_ENTRY(FuzzTelnet)
