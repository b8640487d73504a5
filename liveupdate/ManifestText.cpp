#include "liveupdate/ManifestText.h"

#include <cstdio>

namespace {

std::string Escaped(const std::string& value) {
    std::string out;
    out.reserve(value.size());
    for (const char c : value) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&apos;"; break;
        // A reader turns a literal tab or line end inside a value into a
        // space; written as references they come back as they were.
        case '\t': out += "&#9;"; break;
        case '\n': out += "&#10;"; break;
        case '\r': out += "&#13;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string Attribute(const char* name, const std::string& value) {
    return std::string(" ") + name + "=\"" + Escaped(value) + "\"";
}

}  // namespace

std::string ManifestTimeText(std::time_t when) {
    std::tm utc{};
    gmtime_r(&when, &utc);
    // Four digits for the year always (strftime's %Y gives "31" for 0031),
    // so any time the reader accepts is written in a form it reads back.
    char text[96];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02dZ", utc.tm_year + 1900, utc.tm_mon + 1, utc.tm_mday,
                  utc.tm_hour, utc.tm_min, utc.tm_sec);
    return text;
}

std::string ManifestXml(const PublishedManifest& m) {
    std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n";
    xml += "<manifest" + Attribute("format", "1") + Attribute("serial", std::to_string(m.serial)) +
           Attribute("expires", ManifestTimeText(m.expires)) + ">\n";
    xml += "  <latest" + Attribute("data", m.latestData) + Attribute("launcher", m.latestLauncher) + "/>\n";
    for (const std::string& url : m.mirrors) xml += "  <mirror" + Attribute("url", url) + "/>\n";
    for (const PublishedStage& stage : m.stages) {
        xml += "  <stage" + Attribute("kind", stage.isLauncher ? "launcher" : "data") + Attribute("from", stage.from) +
               Attribute("to", stage.to) + ">\n";
        for (const PublishedPackage& p : stage.packages) {
            xml += "    <package" + Attribute("name", p.name) + Attribute("size", std::to_string(p.size)) +
                   Attribute("sha256", HexOf(p.sha256)) + "/>\n";
        }
        xml += "  </stage>\n";
    }
    xml += "</manifest>\n";
    return xml;
}
