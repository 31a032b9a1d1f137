// Random byte strings of every length from 0 to 100 (fixed seed) go through
// enbase and back through debase in every base and every unit, and the text
// between is checked for its form.
#include <random>

#include "tests/encoding/encoding-fixture.h"

namespace kel::test {
namespace {

// Random bytes; every third string starts with a run of zero bytes, which
// Base58 writes as "1"s.
std::vector<Bytes> random_inputs() {
    std::mt19937 rng(20240611);
    std::vector<Bytes> inputs;
    for (size_t n = 0; n <= 100; ++n) {
        Bytes b(n);
        for (uint8_t& v : b) v = uint8_t(rng());
        if (n % 3 == 1) std::fill(b.begin(), b.begin() + std::min<size_t>(n, 1 + n % 5), 0);
        inputs.push_back(b);
    }
    return inputs;
}

TEST_F(Encodings, RandomBytesRoundTripInEveryBaseAndUnit) {
    for (Base base : all_bases) {
        for (const Bytes& bytes : random_inputs()) {
            std::string text = enbased(base, bytes);
            SCOPED_TRACE(std::string(name_of(base)) + " of " + std::to_string(bytes.size()) + " bytes: " + text);
            EXPECT_EQ(text.find_first_of("\r\n"), std::string::npos) << "no line break";
            for (char c : text) ASSERT_TRUE(c > 32 && c < 127) << "printable ASCII only";
            uint64_t room = encoding::encoded_room(base, bytes.size());
            if (base == Base::base58)
                EXPECT_LE(text.size(), room);
            else
                EXPECT_EQ(text.size(), room);
            EXPECT_EQ(encoding::encode(base, bytes.data(), bytes.size()), text)
                << "the span level writes the same text";
            for (uint32_t unit : all_units) EXPECT_EQ(debased(base, widened(text), unit), bytes) << "unit " << unit;
        }
    }
}

// Base58 written the plain way: the number divided by 58 one digit at a
// time, as the limb arithmetic of the coder must reproduce.
std::string base58_by_division(const Bytes& bytes) {
    size_t zeros = 0;
    while (zeros < bytes.size() && bytes[zeros] == 0) ++zeros;
    Bytes number(bytes.begin() + zeros, bytes.end());
    std::string digits;
    while (!number.empty()) {
        uint32_t rest = 0;
        Bytes quotient;
        for (uint8_t b : number) {
            uint32_t v = rest * 256 + b;
            if (!quotient.empty() || v / 58 != 0) quotient.push_back(uint8_t(v / 58));
            rest = v % 58;
        }
        digits.insert(digits.begin(), encoding::base58_alphabet[rest]);
        number = quotient;
    }
    return std::string(zeros, '1') + digits;
}

TEST_F(Encodings, Base58MatchesDivisionOneDigitAtATime) {
    std::vector<Bytes> inputs = random_inputs();
    inputs.push_back(Bytes(40, 0xFF));
    inputs.push_back(Bytes(40, 0x00));
    Bytes powers(33, 0);
    powers[0] = 1;  // 256^32: carries through every limb
    inputs.push_back(powers);
    for (const Bytes& bytes : inputs) {
        std::string expected = base58_by_division(bytes);
        EXPECT_EQ(encoding::encode(Base::base58, bytes.data(), bytes.size()), expected);
        std::vector<uint8_t> back;
        EXPECT_TRUE(encoding::decode(Base::base58, reinterpret_cast<const uint8_t*>(expected.data()), expected.size(),
                                     1, back));
        EXPECT_EQ(back, bytes);
    }
}

}  // namespace
}  // namespace kel::test
