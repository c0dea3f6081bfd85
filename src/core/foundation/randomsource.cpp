#include "randomsource.h"

namespace {
class SystemRandom : public RandomSource {
public:
    // QRandomGenerator::securelySeeded draws its seed from the operating system's entropy source.
    SystemRandom() : m_gen(QRandomGenerator::securelySeeded()) {}
    std::uint32_t bounded(std::uint32_t bound) override { return uniformBelow(m_gen, bound); }

private:
    QRandomGenerator m_gen;
};

RandomSource*& installed() {
    static RandomSource* source = nullptr;
    return source;
}
} // namespace

RandomSource& RandomSource::instance() {
    static SystemRandom system;
    return installed() ? *installed() : system;
}

void RandomSource::install(RandomSource* source) {
    installed() = source;
}

std::uint32_t RandomSource::uniformBelow(QRandomGenerator& gen, std::uint32_t bound) {
    if (bound <= 1)
        return 0;
    std::uint64_t product = std::uint64_t(gen.generate()) * bound;
    auto low = static_cast<std::uint32_t>(product);
    if (low < bound) {
        // Products whose low word falls below 2^32 mod bound would favour some results: draw again.
        const std::uint32_t threshold = static_cast<std::uint32_t>(-bound) % bound;
        while (low < threshold) {
            product = std::uint64_t(gen.generate()) * bound;
            low = static_cast<std::uint32_t>(product);
        }
    }
    return static_cast<std::uint32_t>(product >> 32);
}
