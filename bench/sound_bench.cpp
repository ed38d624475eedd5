// Sound: what rendering costs, and how long a sound takes from the instruction that
// starts it to the output.

#include "app/chip16_runtime.h"
#include "display/picture_display.h"
#include "platform/clock.h"
#include "platform/headless/headless_host.h"
#include "platform/sdl/sdl_audio_output.h"
#include "sound/live_sound.h"
#include "sound/sound_renderer.h"
#include "tools/program_builders/chip16_program.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {
// One second of a Chip-16 tone through the envelope, as a share of one core: the cost
// of sound while a game plays a tone continuously.
void BM_RenderSecondOfChip16Tone(benchmark::State& state) {
    SoundEvent tone;
    tone.kind = SoundEventKind::ToneStarted;
    tone.frequency = 440;
    tone.durationMilliseconds = 60'000;
    tone.enveloped = true;
    tone.envelope = ToneEnvelope{2, 3, 10, 4, 12, static_cast<ToneWaveform>(state.range(0))};
    std::vector<float> second(SoundRenderer::sampleRate);
    for (auto _ : state) {
        SoundRenderer renderer;
        renderer.apply(tone);
        renderer.render(second);
        benchmark::DoNotOptimize(second.data());
    }
    // 100 x the time per iteration (one second of sound) in seconds.
    state.counters["core_share_percent"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_RenderSecondOfChip16Tone)->DenseRange(0, 3)->Unit(benchmark::kMillisecond);

// A paced Chip-16 machine plays a 30 ms beep every 20 frames; SDL's dummy driver calls
// back in real time. Latency: from the worker executing SND1 to the time its first
// sample plays, which is the callback's time plus the buffer SDL is still playing
// plus its place in the buffer being filled.
void BM_SoundLatency(benchmark::State& state) {
    initClock();
    ::setenv("SDL_AUDIODRIVER", "dummy", 1);
    headless::FrameSink sink;
    sink.setRefreshPeriod(16'666'667);
    headless::setMainSurface(&sink);
    setRefreshWaitEnabled(true);

    LiveSound live;
    live.setListening(true);
    std::mutex mutex;
    std::vector<std::uint64_t> started;
    std::vector<std::uint64_t> played;
    std::atomic<std::uint16_t> frames{0};
    bool sounding = false;
    int zeros = 0;
    auto output = SdlAudioOutput::open("quorvix_bench", [&](std::span<std::int16_t> out) {
        const std::uint64_t now = elapsedNanoseconds();
        live.fill(out);
        for (std::size_t i = 0; i < out.size(); ++i) {
            if (out[i] != 0 && !sounding) {
                sounding = true;
                const std::uint64_t at =
                    now + (frames.load() + i) * 1'000'000'000ULL / SoundRenderer::sampleRate;
                const std::scoped_lock lock(mutex);
                played.push_back(at);
            }
            zeros = out[i] == 0 ? zeros + 1 : 0;
            if (zeros > 480) {
                sounding = false;
            }
        }
    });
    if (!output) {
        state.SkipWithError("no audio device");
        return;
    }
    frames.store(output->grantedFrames());

    Chip16Program p;
    p.at(0).snd1(30);
    for (int i = 0; i < 20; ++i) {
        p.vblnk();
    }
    p.jmp(0);
    Chip16Runtime machine(false);
    const SoundHook hook = live.hook();
    machine.setSoundHook([&](const SoundEvent& event) {
        {
            const std::scoped_lock lock(mutex);
            started.push_back(elapsedNanoseconds());
        }
        hook(event);
    });
    for (auto _ : state) {
        machine.load(p.image());
        machine.start();
        std::this_thread::sleep_for(std::chrono::seconds(4));
        machine.stop();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    output.reset();
    headless::setMainSurface(nullptr);
    std::vector<double> latencies;
    for (std::size_t i = 0; i < std::min(started.size(), played.size()); ++i) {
        latencies.push_back(static_cast<double>(played[i] - started[i]) / 1e6);
    }
    if (latencies.empty()) {
        state.SkipWithError("no sound came out");
        return;
    }
    std::sort(latencies.begin(), latencies.end());
    state.counters["median_ms"] = latencies[latencies.size() / 2];
    state.counters["max_ms"] = latencies.back();
    state.counters["min_ms"] = latencies.front();
    state.counters["sounds"] = static_cast<double>(latencies.size());
    state.counters["buffer_frames"] = frames.load();
}
BENCHMARK(BM_SoundLatency)->Iterations(1)->Unit(benchmark::kSecond);
} // namespace
