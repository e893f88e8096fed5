// Replays answer histories through the reference implementation of FSRS (ts-fsrs) with
// the Lernkartei's settings: default parameters, 90 % retention, whole days, no fuzz.
// In: the module's path as argument, on stdin {"histories": [[{"day": N, "pass": B}, ...], ...]}
// with days as day numbers (days since 30 December 1899). Out: for every review
// {"s": stability, "d": difficulty, "ivl": days, "due": day number}.
import { readFileSync } from 'node:fs';
import { pathToFileURL } from 'node:url';

const { fsrs, generatorParameters, createEmptyCard, Rating } = await import(pathToFileURL(process.argv[2]).href);
const scheduler = fsrs(generatorParameters({ request_retention: 0.9, enable_fuzz: false, enable_short_term: false }));
const epoch = 25569; // 1 January 1970 as a day number
const dayMs = 864e5;
// Noon of the day: the reference counts calendar days in UTC.
const timeOf = (day) => new Date((day - epoch) * dayMs + dayMs / 2);
const { histories } = JSON.parse(readFileSync(0, 'utf8'));
const out = histories.map((history) => {
  let card = createEmptyCard(timeOf(history[0].day));
  return history.map(({ day, pass }) => {
    card = scheduler.next(card, timeOf(day), pass ? Rating.Good : Rating.Again).card;
    return { s: card.stability, d: card.difficulty, ivl: card.scheduled_days,
             due: Math.floor(card.due.getTime() / dayMs) + epoch };
  });
});
process.stdout.write(JSON.stringify(out));
