// The codec's decode of a url!: the bytes come through read/binary of the
// URL, here from the test server on 127.0.0.1.
#include <strings.h>  // the server header uses strncasecmp

#include "tests/http/http-server.h"
#include "tests/kelbin/kelbin-fixture.h"

namespace kel::test {
namespace {

struct KelbinUrl : Kelbin {
    void SetUp() override { WithoutProxies::remove(); }
    void TearDown() override { WithoutProxies::restore(); }
    HttpServer server;

    Evaluated run(std::string code) const {
        for (size_t at; (at = code.find("URL")) != std::string::npos;) code.replace(at, 3, server.base());
        return evaluate(code);
    }
};

TEST_F(KelbinUrl, DecodeReadsAUrl) {
    Bytes file = encode("[1 \"two\" three]");
    server.route("/v.kelbin", {"HTTP/1.1 200 OK", {}, std::string(file.begin(), file.end())});
    server.route("/short", {"HTTP/1.1 200 OK", {}, "KELBIN"});
    EXPECT_EQ(run("system/codecs/kelbin/decode URL/v.kelbin").text, "[1 \"two\" three]");
    EXPECT_EQ(run("load/as URL/v.kelbin 'kelbin").text, "[1 \"two\" three]");
    Evaluated shorter = run("system/codecs/kelbin/decode URL/short");
    EXPECT_EQ(shorter.error, id(ErrorId::script_invalid_data)) << shorter.text;
}

}  // namespace
}  // namespace kel::test
