// igc-parser beside Logwell's IGC decoder (bench/igc/igc_decode_probe): decoding speed in MB/s
// over the same files, and per file the largest difference of the positions, fix by fix (the
// first fix of each second, as the decoder keeps one fix per second).
import fs from 'fs';
import path from 'path';
import { spawnSync } from 'child_process';
import IGCParser from 'igc-parser';

const probe = process.env.LOGWELL_PROBE;
const repeat = Number(process.env.PARSE_REPEAT ?? 5);
const files = process.argv.slice(2);

console.log('positions: igc-parser beside logwell (largest difference in degrees)');
const parsedTexts = [];
for (const file of files) {
  const text = fs.readFileSync(file, 'utf8');
  let flight;
  try {
    flight = IGCParser.parse(text, { lenient: true });
  } catch (e) {
    console.log(`  ${path.basename(file).padEnd(36)} igc-parser refused: ${String(e.message).split('\n')[0]}`);
    continue;
  }
  const run = spawnSync(probe, ['positions', file], { encoding: 'utf8', maxBuffer: 1 << 28 });
  if (run.status !== 0) {
    console.log(`  ${path.basename(file).padEnd(36)} logwell refused: ${run.stderr.trim()}`);
    continue;
  }
  parsedTexts.push(file);
  const ours = run.stdout.trim().split('\n').map((l) => l.split(' '));
  const theirs = [];
  let previous = null;
  for (const f of flight.fixes) {
    if (f.time === previous) continue;
    previous = f.time;
    theirs.push(f);
  }
  let worst = 0;
  let compared = 0;
  const n = Math.min(ours.length, theirs.length);
  for (let i = 0; i < n; i++) {
    if (ours[i][0] !== theirs[i].time.replaceAll(':', '')) continue;
    worst = Math.max(worst, Math.abs(Number(ours[i][1]) - theirs[i].latitude),
      Math.abs(Number(ours[i][2]) - theirs[i].longitude));
    ++compared;
  }
  const lad = /^I.*LAD/m.test(text) ? ' LAD/LOD' : '';
  console.log(`  ${path.basename(file).padEnd(36)} ${String(compared).padStart(6)} fixes  ` +
    `max ${worst.toExponential(2)}${lad}${worst > 1e-6 ? '  OVER 1e-6' : ''}`);
}

// Speed over the files both read.
const texts = parsedTexts.map((f) => fs.readFileSync(f, 'utf8'));
const bytes = parsedTexts.reduce((s, f) => s + fs.statSync(f).size, 0);
const start = process.hrtime.bigint();
for (let r = 0; r < repeat; r++) for (const t of texts) IGCParser.parse(t, { lenient: true });
const seconds = Number(process.hrtime.bigint() - start) / 1e9;
const run = spawnSync(probe, ['speed', String(repeat), ...parsedTexts], { encoding: 'utf8' });
const [, ourSeconds, ourRate] = run.stdout.trim().split(' ');
console.log(`\ndecoding ${parsedTexts.length} files, ${(bytes / 1e6).toFixed(2)} MB, ${repeat} passes:`);
console.log(`  igc-parser  ${(bytes * repeat / seconds / 1e6).toFixed(2)} MB/s (${seconds.toFixed(3)} s)`);
console.log(`  logwell     ${Number(ourRate).toFixed(2)} MB/s (${Number(ourSeconds).toFixed(3)} s)`);
