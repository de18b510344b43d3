#pragma once
// Real-input FFTs of one fixed length (FFTW underneath). One object per
// length and per thread: the transforms use the object's own buffers.

#include <complex>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

using Spectrum = std::vector<std::complex<double>>;

class CRealFft {
public:
    explicit CRealFft(std::size_t n);
    ~CRealFft();
    CRealFft(const CRealFft&) = delete;
    CRealFft& operator=(const CRealFft&) = delete;

    std::size_t Size() const { return m_n; }
    // Bins of a spectrum: 0 .. Size()/2.
    std::size_t Bins() const { return m_n / 2 + 1; }

    // The spectrum of `in`, zero-padded (or cut) to Size() samples.
    void Forward(std::span<const double> in, Spectrum& out);
    // The Size() samples whose spectrum is `in` (Bins() values), scaled so
    // that Inverse(Forward(x)) gives x back.
    void Inverse(std::span<const std::complex<double>> in, std::vector<double>& out);

private:
    struct Plans;
    std::size_t m_n;
    std::unique_ptr<Plans> m_plans;
};

// The smallest power of two that holds n samples.
std::size_t FftSizeFor(std::size_t n);
