#include "state/LeastSquares.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace fx {

namespace {

double SumOfSquares(const std::vector<double>& r) {
    return std::inner_product(r.begin(), r.end(), r.begin(), 0.0);
}

// Column-major numeric Jacobian: column p is d residuals / d parameter p.
std::vector<std::vector<double>> Jacobian(const LeastSquaresProblem& problem,
                                          const std::vector<double>& parameters,
                                          const std::vector<double>& residuals) {
    std::vector<std::vector<double>> columns(parameters.size());
    std::vector<double> shifted = parameters, moved(residuals.size());
    for (size_t p = 0; p < parameters.size(); ++p) {
        shifted[p] = parameters[p] + problem.steps[p];
        problem.residuals(shifted, moved);
        columns[p].resize(residuals.size());
        for (size_t i = 0; i < residuals.size(); ++i)
            columns[p][i] = (moved[i] - residuals[i]) / problem.steps[p];
        shifted[p] = parameters[p];
    }
    return columns;
}

// Solves the symmetric positive definite system a x = b by Cholesky; false
// when a is not positive definite.
bool SolveSymmetric(std::vector<std::vector<double>> a, std::vector<double> b,
                    std::vector<double>& x) {
    const size_t n = b.size();
    for (size_t j = 0; j < n; ++j) {
        double d = a[j][j];
        for (size_t k = 0; k < j; ++k) d -= a[j][k] * a[j][k];
        if (!(d > 0.0)) return false;
        a[j][j] = std::sqrt(d);
        for (size_t i = j + 1; i < n; ++i) {
            double s = a[i][j];
            for (size_t k = 0; k < j; ++k) s -= a[i][k] * a[j][k];
            a[i][j] = s / a[j][j];
        }
    }
    for (size_t i = 0; i < n; ++i) {
        for (size_t k = 0; k < i; ++k) b[i] -= a[i][k] * b[k];
        b[i] /= a[i][i];
    }
    for (size_t i = n; i-- > 0;) {
        for (size_t k = i + 1; k < n; ++k) b[i] -= a[k][i] * b[k];
        b[i] /= a[i][i];
    }
    x = b;
    return true;
}

struct NormalEquations {
    std::vector<std::vector<double>> jtj;
    std::vector<double> jtr;
};

NormalEquations Normal(const std::vector<std::vector<double>>& columns,
                       const std::vector<double>& residuals) {
    const size_t n = columns.size();
    NormalEquations normal{std::vector<std::vector<double>>(n, std::vector<double>(n)),
                           std::vector<double>(n)};
    for (size_t p = 0; p < n; ++p) {
        normal.jtr[p] =
            std::inner_product(columns[p].begin(), columns[p].end(), residuals.begin(), 0.0);
        for (size_t q = 0; q <= p; ++q) {
            const double v =
                std::inner_product(columns[p].begin(), columns[p].end(), columns[q].begin(), 0.0);
            normal.jtj[p][q] = normal.jtj[q][p] = v;
        }
    }
    return normal;
}

// One damped step from parameters; the candidate is projected into bounds.
bool DampedStep(const LeastSquaresProblem& problem, const NormalEquations& normal, double lambda,
                const std::vector<double>& parameters, std::vector<double>& candidate) {
    std::vector<std::vector<double>> a = normal.jtj;
    std::vector<double> b(normal.jtr.size());
    for (size_t p = 0; p < a.size(); ++p) {
        a[p][p] += lambda * (normal.jtj[p][p] + 1e-12);
        b[p] = -normal.jtr[p];
    }
    std::vector<double> delta;
    if (!SolveSymmetric(a, b, delta)) return false;
    candidate = parameters;
    for (size_t p = 0; p < delta.size(); ++p) candidate[p] += delta[p];
    problem.project(candidate);
    return true;
}

} // namespace

double MinimiseLeastSquares(const LeastSquaresProblem& problem, std::vector<double>& parameters,
                            const LeastSquaresOptions& options) {
    std::vector<double> residuals(problem.residualCount), trial(problem.residualCount);
    problem.project(parameters);
    problem.residuals(parameters, residuals);
    double cost = SumOfSquares(residuals);
    double lambda = 1e-3;
    std::vector<double> candidate;
    for (int iteration = 0; iteration < options.maxIterations && cost > 0.0; ++iteration) {
        const NormalEquations normal = Normal(Jacobian(problem, parameters, residuals), residuals);
        bool improved = false;
        while (!improved && lambda < 1e10) {
            if (DampedStep(problem, normal, lambda, parameters, candidate)) {
                problem.residuals(candidate, trial);
                const double trialCost = SumOfSquares(trial);
                if (trialCost < cost) {
                    const double gain = (cost - trialCost) / cost;
                    parameters = candidate;
                    residuals = trial;
                    cost = trialCost;
                    lambda = std::max(lambda / 3.0, 1e-9);
                    improved = true;
                    if (gain < options.relativeTolerance) return cost;
                    continue;
                }
            }
            lambda *= 4.0;
        }
        if (!improved) break;
    }
    return cost;
}

} // namespace fx
