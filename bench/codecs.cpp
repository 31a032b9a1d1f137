// The JSON and CSV codecs against python3's json and csv modules, timed
// inside each interpreter (no process start, no file reading), median of
// several runs, in the same run: load-json and to-json of a generated 10 MB
// document (nested objects with word-shaped and other keys, arrays, strings
// with escapes and non-ASCII text, 32-bit integers, floats, true, false,
// null) against json.loads and json.dumps(v, ensure_ascii=False,
// separators=(",", ":")); load-csv of a generated 10 MB CSV (CR LF lines,
// quoted values with commas, doubled quotes and line breaks) against
// list(csv.reader(io.StringIO(text))); to-csv against csv.writer for
// information. Prints both times and the ratio (Kel / python3).
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <random>
#include <string>

#include "bench/bench.h"
#include "bench/kel-run.h"
#include "bench/python.h"
#include "runtime/datatypes/string.h"
#include "tests/boot-library.h"

namespace {

using namespace kel;

constexpr int ROUNDS = 5;
constexpr size_t SIZE = 10 << 20;

const char* const WORDS[] = {"id", "name", "value", "items", "created-at", "flag", "score", "tags", "owner", "x1"};
const char* const OTHER_KEYS[] = {"first name", "2nd", "e-mail@", "a/b", "München", ""};
const char* const TEXTS[] = {"plain text",           "line\\nbreak",        "tab\\there",
                             "quote \\\"q\\\"",      "caf\u00e9 \u00fcber", "\u65e5\u672c\u8a9e",
                             "emoji \\ud83d\\ude00", "slash \\/ back \\\\", "\u00e9t\u00e9"};

struct Json {
    std::string text;
    std::mt19937 rng{29};

    void value(int depth) {
        switch (rng() % (depth < 5 ? 9 : 7)) {
        case 0:
        case 1:
            text += std::to_string(int32_t(rng()));
            break;
        case 2:
            text += std::to_string(int(rng() % 100000)) + "." + std::to_string(rng() % 1000) + "e-2";
            break;
        case 3:
            text += "\"" + std::string(TEXTS[rng() % 9]) + "\"";
            break;
        case 4:
            text += rng() % 2 ? "true" : "false";
            break;
        case 5:
            text += "null";
            break;
        case 6:
            text += "\"" + std::string(TEXTS[rng() % 9]) + " " + std::to_string(rng() % 1000) + "\"";
            break;
        case 7: {
            text += "[";
            int n = int(rng() % 6);
            for (int i = 0; i < n; ++i) {
                if (i) text += ",";
                value(depth + 1);
            }
            text += "]";
            break;
        }
        default:
            object(depth + 1);
        }
    }
    void object(int depth) {
        text += "{";
        int n = 1 + int(rng() % 6);
        for (int i = 0; i < n; ++i) {
            if (i) text += ",";
            const char* key = rng() % 4 ? WORDS[(rng() % 10)] : OTHER_KEYS[rng() % 6];
            text += "\"" + std::string(key) + std::to_string(i) + "\":";
            value(depth);
        }
        text += "}";
    }
    Json() {
        text = "[";
        while (text.size() < SIZE) {
            if (text.size() > 1) text += ",";
            object(0);
        }
        text += "]";
    }
};

std::string make_csv() {
    std::mt19937 rng{18};
    std::string text;
    while (text.size() < SIZE) {
        for (int c = 0; c < 8; ++c) {
            if (c) text += ",";
            switch (rng() % 6) {
            case 0:
                text += std::to_string(int32_t(rng()));
                break;
            case 1:
                text += "\"a, b and c\"";
                break;
            case 2:
                text += "\"she said \"\"hi\"\"\"";
                break;
            case 3:
                text += "\"two\r\nlines\"";
                break;
            case 4:
                text += "caf\u00e9 " + std::to_string(rng() % 1000);
                break;
            default:
                text += "plain value";
                break;
            }
        }
        text += "\r\n";
    }
    return text;
}

Cell* import_text(const std::string& text) {
    return string::import(reinterpret_cast<const uint8_t*>(text.data()), int32_t(text.size()), string::ENCODING_UTF8);
}

}  // namespace

int main() {
    test::boot_library();
    Json json;
    std::string csv = make_csv();
    char json_path[] = "/tmp/kel-bench-json-XXXXXX";
    char csv_path[] = "/tmp/kel-bench-csv-XXXXXX";
    int jf = mkstemp(json_path), cf = mkstemp(csv_path);
    if (jf < 0 || cf < 0) return 1;
    close(jf);
    close(cf);
    std::ofstream(json_path, std::ios::binary) << json.text;
    std::ofstream(csv_path, std::ios::binary) << csv;

    test::set_global("json-text", *import_text(json.text));
    test::set_global("csv-text", *import_text(csv));
    double load_json = bench::median_of("to float! dt [json-value: load-json json-text]", ROUNDS);
    double to_json = bench::median_of("to float! dt [to-json json-value]", ROUNDS);
    double load_csv = bench::median_of("to float! dt [csv-value: load-csv csv-text]", ROUNDS);
    double to_csv = bench::median_of("to float! dt [to-csv csv-value]", ROUNDS);

    std::string script = "import json, csv, io\n" + bench::python_median_of(ROUNDS) + "jt = open('" +
        std::string(json_path) +
        "', encoding='utf-8').read()\n"
        "ct = open('" +
        std::string(csv_path) +
        "', encoding='utf-8', newline='').read()\n"
        "v = json.loads(jt)\n"
        "rows = list(csv.reader(io.StringIO(ct)))\n"
        "def w():\n"
        "    out = io.StringIO(); csv.writer(out).writerows(rows); return out.getvalue()\n"
        "print('loads', median(lambda: json.loads(jt)))\n"
        "print('dumps', median(lambda: json.dumps(v, ensure_ascii=False, separators=(',', ':'))))\n"
        "print('reader', median(lambda: list(csv.reader(io.StringIO(ct)))))\n"
        "print('writer', median(w))\n";
    auto py = bench::python_timings(script);
    unlink(json_path);
    unlink(csv_path);
    if (py.size() < 4) {
        std::printf("python3 timings unavailable\n");
        return 1;
    }
    std::printf("JSON %.1f MB, CSV %.1f MB, median of %d runs\n", json.text.size() / 1e6, csv.size() / 1e6, ROUNDS);
    bench::report("load-json", load_json, py["loads"], "json.loads");
    bench::report("to-json", to_json, py["dumps"], "json.dumps");
    bench::report("load-csv", load_csv, py["reader"], "csv.reader");
    bench::report("to-csv (for information)", to_csv, py["writer"], "csv.writer");
    return 0;
}
