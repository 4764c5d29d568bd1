#include "fleet/batch_run.h"

#include <thread>

#include "base/result_code.h"
#include "base/run_clock.h"
#include "fleet/bus.h"
#include "fleet/dry_run.h"
#include "fleet/firmware_image.h"
#include "fleet/run_lines.h"
#include "instrument/resource_name.h"
#include "update/updater.h"

RunEnd RunInstrument(const BatchSetup& setup, const std::string& resource) {
    RunEnd end;
    end.resource = resource;
    end.serial = SerialFromResource(resource);
    end.dryRun = setup.dryRun;
    const uint64_t startMs = setup.clock.NowMs();

    std::string vid, pid;
    BuiltInIds(vid, pid);
    RunLines lines(setup.events, end.serial);
    Updater updater(setup.visa, setup.clock, vid, pid);
    end.imageRev = setup.image.info.ImageRev;
    if (setup.dryRun) {
        end.code = DryRun(updater.link(), setup.image, resource, lines, end.current);
    } else {
        updater.SetRunOptions(RunOptions{setup.reconnectRetryMs, setup.stop});
        end.code = updater.Update(setup.image.info, *setup.image.model, resource, 1, lines);
        end.current = end.code == kErrLatestUpdate;
    }
    end.revisions = lines.revisions();
    end.sectionsWritten = lines.sectionsWritten();
    end.seconds = (setup.clock.NowMs() - startMs) / 1000.0;
    return end;
}

std::vector<RunEnd> RunBatch(const BatchSetup& setup, const std::vector<std::string>& chosen) {
    std::vector<RunEnd> ends(chosen.size());
    std::vector<std::thread> threads;
    threads.reserve(chosen.size());
    for (size_t i = 0; i < chosen.size(); ++i)
        threads.emplace_back([&setup, &chosen, &ends, i] {
            ends[i] = RunInstrument(setup, chosen[i]);
            setup.events.End(ends[i]);
        });
    for (std::thread& thread : threads) thread.join();
    return ends;
}
