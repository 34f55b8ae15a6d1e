#include "effects/efx2.h"

#include <GL/gl.h>

#include <cmath>
#include <cstring>

#include "graphics/gldriver.h"
#include "material/material.h"
#include "music/music.h"

static GL_MATERIAL *sBarMaterial = nullptr;
static float sBandLevels[SPECTRUM_BANDS];

const float gSpectrumBandEdges[SPECTRUM_BANDS + 1] = {60,   170,  310,   600,   1000,
                                                      3000, 6000, 12000, 14000, 16000};

void FFT::Compute(uint32_t n, int inverse, const float *realIn, const float *imagIn, float *realOut,
                  float *imagOut) {
  if (n < 2) FatalError(__LINE__, "efx2", "FFT::Not enouch samples !");
  const int bits = __builtin_ctz(n);

  // j runs through the bit-reversed low `bits` bits of i by adding one at the top and carrying downwards;
  // it wraps like the low bits of i, so it stays below n for any n.
  const uint32_t top = 1u << (bits - 1);
  for (uint32_t i = 0, j = 0; i < n; i++) {
    realOut[j] = realIn[i];
    imagOut[j] = imagIn ? imagIn[i] : 0.0f;
    uint32_t bit = top;
    while (j & bit) {
      j ^= bit;
      bit >>= 1;
    }
    j |= bit;
  }

  const float angleNumerator = inverse ? -6.28318530717958647692f : 6.28318530717958647692f;
  uint32_t blockEnd = 1;
  for (uint32_t blockSize = 2; blockSize <= n; blockSize <<= 1) {
    const float delta = angleNumerator / (float)blockSize;
    const float sm2 = sinf(-2 * delta), sm1 = sinf(-delta), cm2 = cosf(-2 * delta), cm1 = cosf(-delta);
    const float w = 2 * cm1;
    // Whole blocks only: an n that is not a power of two gives no meaningful spectrum, but never a write
    // past the arrays.
    for (uint32_t i = 0; i + blockSize <= n; i += blockSize) {
      float ar2 = cm2, ar1 = cm1, ai2 = sm2, ai1 = sm1;
      for (uint32_t m = 0; m < blockEnd; m++) {
        const float ar0 = w * ar1 - ar2;
        ar2 = ar1;
        ar1 = ar0;
        const float ai0 = w * ai1 - ai2;
        ai2 = ai1;
        ai1 = ai0;
        const uint32_t j = i + m, k = j + blockEnd;
        const float tr = ar0 * realOut[k] - ai0 * imagOut[k];
        const float ti = ar0 * imagOut[k] + ai0 * realOut[k];
        realOut[k] = realOut[j] - tr;
        imagOut[k] = imagOut[j] - ti;
        realOut[j] += tr;
        imagOut[j] += ti;
      }
    }
    blockEnd = blockSize;
  }

  if (inverse) {
    const float scale = 1.0f / (float)n;
    for (uint32_t i = 0; i < n; i++) {
      realOut[i] *= scale;
      imagOut[i] *= scale;
    }
  }
}

float FFT::PeakFrequency(uint32_t n, uint32_t w, const float *re, const float *im, float *power, float rate) {
  const uint32_t half = n / 2;
  for (uint32_t k = 0; k < half; k++) power[k] = re[k] * re[k] + im[k] * im[k];
  const uint32_t cut = (uint32_t)((float)n * 20 / rate);
  for (uint32_t k = 0; k <= cut && k < half; k++) power[k] = 0;

  // Every window is summed on its own, bin by bin from its low end, so equal windows compare equal and
  // the lowest one wins; four neighbouring windows are summed side by side, each in that same order.
  float best = -1, bestMoment = 0;
  const uint32_t windows = half > w ? half - w : 0;
  const uint32_t groupedEnd = w + windows / 4 * 4;
  for (uint32_t end = w; end < groupedEnd; end += 4) {
    float sum[4] = {0, 0, 0, 0}, moment[4] = {0, 0, 0, 0};
    for (uint32_t k = end - w; k <= end; k++)
      for (int lane = 0; lane < 4; lane++) {
        sum[lane] += power[k + lane];
        moment[lane] += (float)(k + lane) * power[k + lane];
      }
    for (int lane = 0; lane < 4; lane++)
      if (sum[lane] > best) {
        best = sum[lane];
        bestMoment = moment[lane];
      }
  }
  for (uint32_t end = groupedEnd; end < w + windows; end++) {
    float sum = 0, moment = 0;
    for (uint32_t k = end - w; k <= end; k++) {
      sum += power[k];
      moment += (float)k * power[k];
    }
    if (sum > best) {
      best = sum;
      bestMoment = moment;
    }
  }
  // A silent block has no centroid (0 / 0); -1 keeps it out of every band.
  if (best <= 0) return -1;
  return rate * (bestMoment / best) / (float)n;
}

float SpectrumPeakFrequency(const uint16_t samples[SPECTRUM_SIZE]) {
  float realIn[SPECTRUM_SIZE], realOut[SPECTRUM_SIZE], imagOut[SPECTRUM_SIZE], power[SPECTRUM_SIZE / 2];
  for (int k = 0; k < SPECTRUM_SIZE; k++) realIn[k] = (float)samples[k] * 0.0000152587890625f;
  FFT::Compute(SPECTRUM_SIZE, 0, realIn, nullptr, realOut, imagOut);
  return FFT::PeakFrequency(SPECTRUM_SIZE, 32, realOut, imagOut, power, 44100.0f);
}

void SpectrumUpdateBands(float levels[SPECTRUM_BANDS], float frequency) {
  for (int i = 0; i < SPECTRUM_BANDS; i++) {
    if (gSpectrumBandEdges[i] < frequency && frequency <= gSpectrumBandEdges[i + 1])
      levels[i] = (3 * levels[i] + 100) / 4;
    else
      levels[i] = 3 * levels[i] / 4;
  }
}

void SpectrumInit() {
  sBarMaterial = new (__LINE__, "efx2") GL_MATERIAL;
  if (!sBarMaterial) FatalError(__LINE__, "efx2", "sBarMaterial == NULL !");
  strcpy(sBarMaterial->BaseTexture, "data/sbar.jpg");
  sBarMaterial->UseBase = 1;
  sBarMaterial->Wrap = 1;
  sBarMaterial->Mipmap = 0;
  sBarMaterial->Wireframe = 0;
  sBarMaterial->AnimateTexture = 0;
  sBarMaterial->Alpha = 1.0f;
  sBarMaterial->BlendSrc = GL_SRC_ALPHA;
  sBarMaterial->BlendDst = GL_ONE_MINUS_SRC_COLOR;
  sBarMaterial->AlphaMode = ALPHA_CONSTANT;
  sBarMaterial->Preload();
}

void SpectrumDraw() {
  // 256 bytes asked into a buffer of 256 values: the half the player does not fill stays zero.
  uint16_t samples[SPECTRUM_SIZE];
  memset(samples, 0, sizeof samples);
  MusicGetData(samples, 256);
  SpectrumUpdateBands(sBandLevels, SpectrumPeakFrequency(samples));

  OverlaySetup();

  sBarMaterial->Apply(0);
  glDepthMask(GL_FALSE);
  glDisable(GL_DEPTH_TEST);
  glDisable(GL_CULL_FACE);
  glEnable(GL_COLOR_MATERIAL);
  glColor4f(1, 1, 1, 1);

  // A growing bar shows more of the texture, always down to its bottom edge.
  glBegin(GL_QUADS);
  for (int i = 0; i < SPECTRUM_BANDS; i++) {
    const float level = sBandLevels[i];
    const float x0 = (float)(320 + 17 * i) / 512, x1 = (float)(320 + 17 * i + 17) / 512;
    const float bottom = 500.0f / 512, top = (500 - level) / 512, t = 1 - level / 100;
    glTexCoord2f(0, 1);
    glVertex2f(x0, bottom);
    glTexCoord2f(1, 1);
    glVertex2f(x1, bottom);
    glTexCoord2f(1, t);
    glVertex2f(x1, top);
    glTexCoord2f(0, t);
    glVertex2f(x0, top);
  }
  glEnd();
}

void SpectrumFree() { FreeMaterial(sBarMaterial); }
