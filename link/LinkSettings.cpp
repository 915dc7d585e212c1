#include "link/Link.h"
#include "shape/Convert.h"

TLinkSettings LinkSettingsFrom(const TNameValueList& settings) {
    TLinkSettings link;
    link.Port = settings.Value("Port");
    link.BaudRate = StrToInt(settings.Value("BaudRate"));
    const std::string parity = settings.Value("Parity");
    link.Parity = parity == "Even" ? prEven : parity == "Odd" ? prOdd : prNone;
    link.DataBits = StrToInt(settings.Value("DataBits"));
    const std::string stopBits = settings.Value("StopBits");
    link.StopBits = stopBits == "1.5" ? sbOne5StopBits
                    : stopBits == "2" ? sbTwoStopBits
                                      : sbOneStopBit;
    return link;
}
