#include "share/line_service.h"

#include <algorithm>

namespace varnak::share {

LineService::LineService(SubmitJob submit, WithdrawJob withdraw, ListSource* list,
                         std::function<std::size_t()> listRows)
    : submit_(std::move(submit)),
      withdraw_(std::move(withdraw)),
      list_(list),
      listRows_(std::move(listRows)) {}

std::optional<LineAnswer> LineService::ask(const LineRequest& request, std::int64_t now, Answer answer,
                                           RequestId* id) {
  *id = ++lastId_;
  if (request.kind == LineRequest::Kind::Outputs) {
    if (lastPoll_ && lastPoll_->ok && now - lastPollTime_ <= request.maxAgeMs) {
      LineAnswer a = *lastPoll_;
      a.attempts = 0;
      return a;
    }
    pollWaiters_.push_back({*id, std::move(answer)});
    return std::nullopt;
  }
  if (request.kind == LineRequest::Kind::Read) {
    const auto k = image_.find(request.reg);
    if (request.maxAgeMs > 0 && k != image_.end() && now - k->second.time <= request.maxAgeMs)
      return LineAnswer{true, Failure::NoReply, k->second.value, 0};
  }
  askers_[request.master].waiting.push_back({*id, request, std::move(answer)});
  pump(request.master);
  return std::nullopt;
}

void LineService::pump(const std::string& master) {
  const auto a = askers_.find(master);
  if (a == askers_.end()) return;
  Asker& asker = a->second;
  while (!asker.onLine && !asker.waiting.empty()) {
    Queued q = std::move(asker.waiting.front());
    asker.waiting.pop_front();
    const bool read = q.request.kind == LineRequest::Kind::Read;
    const auto r = read ? reads_.find(q.request.reg) : reads_.end();
    if (r != reads_.end()) {
      // One read on the line for all who ask while it waits or runs.
      jobs_[r->second].waiters.push_back({q.id, std::move(q.answer)});
      requests_[q.id] = r->second;
      continue;
    }
    const JobId job = submit_(
        {read ? Job::Kind::Read : Job::Kind::Write, q.request.reg, q.request.value, q.request.master});
    jobs_[job] = {q.request, {{q.id, std::move(q.answer)}}};
    requests_[q.id] = job;
    if (read) reads_[q.request.reg] = job;
    asker.onLine = job;
  }
  if (!asker.onLine && asker.waiting.empty()) askers_.erase(a);
}

void LineService::forget(RequestId id) {
  const auto w =
      std::find_if(pollWaiters_.begin(), pollWaiters_.end(), [&](const Waiter& x) { return x.id == id; });
  if (w != pollWaiters_.end()) {
    pollWaiters_.erase(w);
    return;
  }
  for (auto& [master, asker] : askers_) {
    auto& q = asker.waiting;
    const auto it = std::find_if(q.begin(), q.end(), [&](const Queued& x) { return x.id == id; });
    if (it == q.end()) continue;
    q.erase(it);
    return;
  }
  const auto r = requests_.find(id);
  if (r == requests_.end()) return;
  const JobId job = r->second;
  requests_.erase(r);
  const auto p = jobs_.find(job);
  if (p == jobs_.end()) return;
  auto& waiters = p->second.waiters;
  waiters.erase(std::remove_if(waiters.begin(), waiters.end(), [&](const Waiter& x) { return x.id == id; }),
                waiters.end());
  // Nobody waits for it any more: if it has not started, it need not go. Its
  // end (Withdrawn) comes through jobEnded, which finds no one to tell; nothing
  // here is touched after.
  if (waiters.empty() && withdraw_) withdraw_(job);
}

void LineService::keepFresh(unsigned reg, std::int64_t now) { fresh_[reg] = now + kKeepFreshMs; }

std::optional<LineService::Known> LineService::known(unsigned reg) const {
  const auto k = image_.find(reg);
  if (k == image_.end()) return std::nullopt;
  return k->second;
}

void LineService::answerAll(std::vector<Waiter> waiters, const LineAnswer& answer) {
  for (Waiter& w : waiters) {
    requests_.erase(w.id);
    if (w.answer) w.answer(w.id, answer);
  }
}

void LineService::jobEnded(const JobEnd& end) {
  const LineAnswer answer{end.ok, end.failure, end.value, end.attempts};
  if (end.kind == ExchangeKind::Poll) {
    lastPoll_ = answer;
    lastPollTime_ = end.time;
    std::vector<Waiter> waiters;
    waiters.swap(pollWaiters_);
    answerAll(std::move(waiters), answer);
    return;
  }
  // Every read and confirmed write keeps the image, whoever asked for it; a
  // write that failed may still have reached the controller: its value is unknown.
  const bool read = end.kind == ExchangeKind::ListRead || end.kind == ExchangeKind::Read;
  const bool write = end.kind == ExchangeKind::ListWrite || end.kind == ExchangeKind::Write;
  if (end.reg && end.ok && (read || write)) image_[*end.reg] = {end.value, end.time};
  if (end.reg && !end.ok && write && end.failure != Failure::Withdrawn) image_.erase(*end.reg);
  const auto p = jobs_.find(end.id);
  if (p == jobs_.end()) return;
  Pending pending = std::move(p->second);
  jobs_.erase(p);
  if (pending.request.kind == LineRequest::Kind::Read) {
    const auto r = reads_.find(pending.request.reg);
    if (r != reads_.end() && r->second == end.id) reads_.erase(r);
  }
  const std::string master = pending.request.master;
  const auto a = askers_.find(master);
  if (a != askers_.end() && a->second.onLine == end.id) {
    a->second.onLine = 0;
    // The writes that were to go only after this one fail alike, and those after them.
    if (!end.ok) {
      std::vector<RequestId> failed;
      for (const Waiter& w : pending.waiters) failed.push_back(w.id);
      auto& q = a->second.waiting;
      for (auto it = q.begin(); it != q.end();) {
        if (it->request.after && std::find(failed.begin(), failed.end(), it->request.after) != failed.end()) {
          failed.push_back(it->id);
          pending.waiters.push_back({it->id, std::move(it->answer)});
          it = q.erase(it);
        } else {
          ++it;
        }
      }
    }
  }
  answerAll(std::move(pending.waiters), answer);
  pump(master);
}

std::optional<ListJob> LineService::nextJob(std::int64_t now) {
  for (auto f = fresh_.begin(); f != fresh_.end();) f = f->second < now ? fresh_.erase(f) : std::next(f);
  // A round of the list's own rows, then a round of the registers kept fresh;
  // a round with nothing to give hands over to the other at once.
  for (int turn = 0; turn < 3; ++turn) {
    if (listTurn_) {
      const std::size_t rows = listRows_ ? listRows_() : 0;
      if (list_ && taken_ < std::max<std::size_t>(rows, 1)) {
        if (auto job = list_->nextJob(now)) {
          ++taken_;
          lastFromList_ = true;
          return job;
        }
      }
    } else if (taken_ < fresh_.size()) {
      auto next = freshCursor_ ? fresh_.upper_bound(*freshCursor_) : fresh_.begin();
      if (next == fresh_.end()) next = fresh_.begin();
      freshCursor_ = next->first;
      ++taken_;
      lastFromList_ = false;
      ListJob job;
      job.reg = next->first;
      return job;
    }
    listTurn_ = !listTurn_;
    taken_ = 0;
  }
  return std::nullopt;
}

void LineService::jobEnded(const ListJob& job, const ListResult& result, std::int64_t now) {
  if (lastFromList_ && list_) list_->jobEnded(job, result, now);
}

}  // namespace varnak::share
