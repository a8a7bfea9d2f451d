// Per flight: the XContest score of igc-xc-score's own command beside `logwell-cli analyse
// --exact --rules xcontest`, and the wall times of both commands as a user runs them (process
// start and file reading included). Run through bench/peers/side-by-side --xcontest.
//
// The peer runs twice: with hp=true invalid=true its distances are ellipsoid ones over every fix,
// as ours, so the scores can be compared; with its defaults (FCC distances, invalid fixes left
// out, about twice as fast) it gives the time to beat.
import fs from 'fs';
import os from 'os';
import path from 'path';
import { spawnSync } from 'child_process';

const cli = process.env.LOGWELL_CLI;
const peerCli = process.env.PEER_CLI;
const maxtime = process.env.XC_MAXTIME_S ?? '120';  // the peer's own time limit per flight
const out = path.join(fs.mkdtempSync(path.join(os.tmpdir(), 'xc-')), 'out.json');

function timed(command, args) {
  const start = process.hrtime.bigint();
  const run = spawnSync(command, args, { encoding: 'utf8', maxBuffer: 1 << 26 });
  return { run, seconds: Number(process.hrtime.bigint() - start) / 1e9 };
}

function peer(file, extra) {
  const { run, seconds } = timed('node', [peerCli, file, 'scoring=XContest', 'quiet=true', `out=${out}`, `maxtime=${maxtime}`, ...extra]);
  if (run.status !== 0) return { error: (run.stderr || run.stdout).trim().split('\n')[0], seconds };
  const p = JSON.parse(fs.readFileSync(out, 'utf8')).properties;
  return { score: p.score, type: p.type, optimal: p.optimal, seconds };
}

function ours(file, extra) {
  const { run, seconds } = timed(cli, ['analyse', file, '--json', ...extra]);
  if (run.status !== 0) return { error: (run.stderr || run.stdout).trim().split('\n')[0], seconds };
  const json = JSON.parse(run.stdout.trim().split('\n').join(' '));
  return { score: json.contest?.best?.score, type: json.contest?.best?.type, seconds };
}

const pad = (s, n) => String(s).padStart(n);
console.log('XContest: igc-xc-score scoring=XContest beside logwell-cli analyse --exact --rules xcontest');
console.log(['flight'.padEnd(36), pad('peer pts', 9), pad('ours pts', 9), pad('diff', 6), pad('peer s', 7),
  pad('peer hp s', 9), pad('exact s', 8), pad('default s', 9), pad('ratio', 6)].join(' '));
const ratios = [];
const defaultRatios = [];
for (const file of process.argv.slice(2)) {
  const name = path.basename(file);
  const reference = peer(file, ['hp=true', 'invalid=true']);
  const fast = peer(file, []);
  const exact = ours(file, ['--exact', '--rules', 'xcontest']);
  const plain = ours(file, []);
  if (reference.error || fast.error || exact.error) {
    console.log(`${name.padEnd(36)} refused: ${reference.error ?? fast.error ?? exact.error}`);
    continue;
  }
  const ratio = fast.seconds / exact.seconds;
  ratios.push(ratio);
  defaultRatios.push(fast.seconds / plain.seconds);
  console.log([name.padEnd(36), pad(reference.score.toFixed(2), 9) + (reference.optimal ? ' ' : '?'),
    pad(exact.score?.toFixed(2) ?? '-', 8), pad((exact.score - reference.score).toFixed(2), 6),
    pad(fast.seconds.toFixed(2), 7), pad(reference.seconds.toFixed(2), 9), pad(exact.seconds.toFixed(2), 8),
    pad(plain.seconds.toFixed(2), 9), pad(ratio.toFixed(1), 6)].join(' '));
}
const geo = (r) => Math.exp(r.reduce((s, v) => s + Math.log(v), 0) / r.length);
if (ratios.length > 0) {
  console.log(`\nGeometric mean of peer time / logwell --exact time over ${ratios.length} flights: ${geo(ratios).toFixed(2)}x` +
    ` (smallest ${Math.min(...ratios).toFixed(2)}x)`);
  console.log(`Geometric mean of peer time / logwell default analysis time: ${geo(defaultRatios).toFixed(2)}x` +
    ` (smallest ${Math.min(...defaultRatios).toFixed(2)}x)`);
}
console.log('("?" after a peer score: not proven optimal)');
