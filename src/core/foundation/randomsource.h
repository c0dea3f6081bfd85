#pragma once

#include <QRandomGenerator>
#include <cstdint>

// The program's one random generator. The real one is seeded from the operating system's entropy;
// tests install a seeded one. bounded(m) is uniform over 0 .. m-1 without modulo bias.
class RandomSource {
public:
    virtual ~RandomSource() = default;
    // A uniform integer in [0, bound); bound must be at least 1.
    virtual std::uint32_t bounded(std::uint32_t bound) = 0;

    static RandomSource& instance();
    // Lemire's multiply-and-reject on 32-bit words from gen: exactly uniform over [0, bound).
    static std::uint32_t uniformBelow(QRandomGenerator& gen, std::uint32_t bound);
    // Installs a generator (tests); nullptr goes back to the system one. The caller keeps ownership.
    static void install(RandomSource* source);
};

// A generator with a fixed seed, for repeatable tests and benchmarks.
class SeededRandom : public RandomSource {
public:
    explicit SeededRandom(quint32 seed) : m_gen(seed) {}
    std::uint32_t bounded(std::uint32_t bound) override { return uniformBelow(m_gen, bound); }

private:
    QRandomGenerator m_gen;
};
