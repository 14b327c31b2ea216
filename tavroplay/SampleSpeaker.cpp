// A song's samples through the sound server's output; see SampleSpeaker.h.
#include "tavroplay/SampleSpeaker.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "common/AudioOutput.h"
#include "tavroplay/LiveSamples.h"

namespace tavroplay {

namespace {

constexpr double nanosecondsPerMillisecond = 1e6;

std::int64_t hostNanoseconds() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

class ServerSampleSpeaker final : public SampleSpeaker {
public:
    ServerSampleSpeaker(const std::vector<songs::SongPcm>& pcm, double aheadMs)
        : samples_(pcm, rate, hostNanoseconds, aheadMs) {}
    ~ServerSampleSpeaker() override { close(); }

    bool start(std::string& error) {
        output_ = platform::AudioOutput::open(
            "tavroplay", "default", rate, bufferMs,
            [this](std::int16_t* leftRight, std::size_t frames) {
                // The first requests may come before open returns: their
                // frames are placed without a report.
                const platform::AudioOutput* output = live_.load();
                const double latency = output != nullptr ? output->latencyMs() : -1.0;
                std::optional<std::int64_t> heard;
                if (latency >= 0)
                    heard = hostNanoseconds() +
                            static_cast<std::int64_t>(latency * nanosecondsPerMillisecond);
                samples_.fill(leftRight, frames, heard);
            },
            error);
        live_ = output_.get();
        return output_ != nullptr;
    }

    void write(std::uint16_t address, std::uint8_t data) override { samples_.write(address, data); }
    void setAhead(double aheadMs) override { samples_.setAhead(aheadMs); }
    void waitForTiming(std::chrono::milliseconds longest) override {
        constexpr std::chrono::milliseconds step{5};
        const auto deadline = std::chrono::steady_clock::now() + longest;
        while (!samples_.timed() && !output_->failed() &&
               std::chrono::steady_clock::now() < deadline)
            std::this_thread::sleep_for(step);
    }

    void close() override {
        if (!output_) return;
        output_->close();
        writeLog();
        live_ = nullptr;
        output_.reset();
    }

private:
    void writeLog() const {
        const char* path = std::getenv("TAVROPLAY_SAMPLE_LOG");
        if (path == nullptr || *path == '\0') return;
        std::ofstream log(path, std::ios::app);
        char line[160];
        for (const LiveSamples::Start& start : samples_.starts()) {
            std::snprintf(line, sizeof line, "start track=%u due-ms=%.3f heard-ms=%.3f\n",
                          start.track, start.dueNs / nanosecondsPerMillisecond,
                          start.heardNs / nanosecondsPerMillisecond);
            log << line;
        }
        std::snprintf(line, sizeof line, "end underruns=%llu reanchors=%llu latency-ms=%.1f\n",
                      static_cast<unsigned long long>(output_->underruns()),
                      static_cast<unsigned long long>(samples_.reanchors()), output_->latencyMs());
        log << line;
    }

    LiveSamples samples_;
    std::unique_ptr<platform::AudioOutput> output_;
    std::atomic<const platform::AudioOutput*> live_{nullptr};
};

} // namespace

std::unique_ptr<SampleSpeaker> SampleSpeaker::open(const std::vector<songs::SongPcm>& pcm,
                                                   double aheadMs, std::string& error) {
    auto speaker = std::make_unique<ServerSampleSpeaker>(pcm, aheadMs);
    if (!speaker->start(error)) return nullptr;
    return speaker;
}

} // namespace tavroplay
