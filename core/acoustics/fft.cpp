#include "acoustics/fft.h"

#include <fftw3.h>

#include <algorithm>
#include <mutex>
#include <new>

namespace {

// FFTW's planner keeps global state: plans are made and destroyed one at a
// time; running a plan on its own buffers is safe from any thread.
std::mutex& PlannerMutex() {
    static std::mutex mutex;
    return mutex;
}

}  // namespace

struct CRealFft::Plans {
    double* real = nullptr;
    fftw_complex* spec = nullptr;
    fftw_plan forward = nullptr;
    fftw_plan inverse = nullptr;
};

CRealFft::CRealFft(std::size_t n) : m_n(std::max<std::size_t>(n, 2)), m_plans(new Plans) {
    std::lock_guard lock(PlannerMutex());
    m_plans->real = fftw_alloc_real(m_n);
    m_plans->spec = fftw_alloc_complex(Bins());
    if (!m_plans->real || !m_plans->spec) {
        fftw_free(m_plans->real);
        fftw_free(m_plans->spec);
        throw std::bad_alloc();
    }
    const int size = static_cast<int>(m_n);
    m_plans->forward = fftw_plan_dft_r2c_1d(size, m_plans->real, m_plans->spec, FFTW_ESTIMATE);
    m_plans->inverse = fftw_plan_dft_c2r_1d(size, m_plans->spec, m_plans->real, FFTW_ESTIMATE);
}

CRealFft::~CRealFft() {
    std::lock_guard lock(PlannerMutex());
    fftw_destroy_plan(m_plans->forward);
    fftw_destroy_plan(m_plans->inverse);
    fftw_free(m_plans->real);
    fftw_free(m_plans->spec);
}

void CRealFft::Forward(std::span<const double> in, Spectrum& out) {
    const std::size_t used = std::min(in.size(), m_n);
    std::copy_n(in.begin(), used, m_plans->real);
    std::fill(m_plans->real + used, m_plans->real + m_n, 0.0);
    fftw_execute(m_plans->forward);
    out.resize(Bins());
    for (std::size_t k = 0; k < Bins(); ++k)
        out[k] = {m_plans->spec[k][0], m_plans->spec[k][1]};
}

void CRealFft::Inverse(std::span<const std::complex<double>> in, std::vector<double>& out) {
    for (std::size_t k = 0; k < Bins(); ++k) {
        const std::complex<double> v = k < in.size() ? in[k] : 0.0;
        m_plans->spec[k][0] = v.real();
        m_plans->spec[k][1] = v.imag();
    }
    fftw_execute(m_plans->inverse);
    out.resize(m_n);
    const double scale = 1.0 / static_cast<double>(m_n);
    for (std::size_t i = 0; i < m_n; ++i)
        out[i] = m_plans->real[i] * scale;
}

std::size_t FftSizeFor(std::size_t n) {
    std::size_t size = 2;
    while (size < n)
        size *= 2;
    return size;
}
