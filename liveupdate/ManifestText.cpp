#include "liveupdate/ManifestText.h"

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
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &utc);
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
