#!/usr/bin/env python3
# The delay from an epoch's last byte appended to the log to its lines in the
# observation file of a followed run (every epoch kept: --interval 1).
# Usage: latency.py KAPOLEX LOG (a log of 149-byte messages, as measure.sh makes)
import os, signal, statistics, subprocess, sys, time
kapolex, log = sys.argv[1], open(sys.argv[2], 'rb').read()
size = 149
open('lat.log', 'wb').close()
if os.path.exists('lat.obs'): os.remove('lat.obs')
p = subprocess.Popen([kapolex, '-w', '1356', '--interval', '1', '--follow', '-o', 'lat.obs', 'lat.log'],
                     stdout=subprocess.DEVNULL)
time.sleep(0.3)
delays = []
with open('lat.log', 'ab', buffering=0) as f:
    for i in range(40):
        before = os.path.getsize('lat.obs') if os.path.exists('lat.obs') else 0
        t0 = time.perf_counter()
        f.write(log[i * size:(i + 1) * size])
        while (os.path.getsize('lat.obs') if os.path.exists('lat.obs') else 0) == before:
            if time.perf_counter() - t0 > 2: break
        delays.append((time.perf_counter() - t0) * 1000)
        time.sleep(0.1)
p.send_signal(signal.SIGINT); p.wait()
d = delays[1:]  # the first epoch also ends the header
d.sort()
print(f"epochs {len(d)}: median {statistics.median(d):.3f} ms, 95% {d[int(0.95 * len(d))]:.3f} ms, max {d[-1]:.3f} ms, status {p.returncode}")
