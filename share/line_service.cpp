#include "share/line_service.h"

#include <algorithm>

namespace varnak::share {

LineService::LineService(SubmitJob submit, WithdrawJob withdraw, ListSource* list)
    : submit_(std::move(submit)), withdraw_(std::move(withdraw)), list_(list) {}

std::optional<LineAnswer> LineService::ask(const LineRequest& request, std::int64_t now, Answer answer,
                                           RequestId* id) {
  *id = ++lastId_;
  switch (request.kind) {
    case LineRequest::Kind::Outputs:
      if (lastPoll_ && lastPoll_->ok && now - lastPollTime_ <= request.maxAgeMs) {
        LineAnswer a = *lastPoll_;
        a.attempts = 0;
        return a;
      }
      pollWaiters_.push_back({*id, std::move(answer)});
      return std::nullopt;
    case LineRequest::Kind::Read: {
      const auto k = image_.find(request.reg);
      if (request.maxAgeMs > 0 && k != image_.end() && now - k->second.time <= request.maxAgeMs)
        return LineAnswer{true, Failure::NoReply, k->second.value, 0};
      // One read on the line for all who ask while it waits or runs.
      const auto r = reads_.find(request.reg);
      if (r != reads_.end()) {
        jobs_[r->second].waiters.push_back({*id, std::move(answer)});
        requests_[*id] = r->second;
        return std::nullopt;
      }
      const JobId job = submit_({Job::Kind::Read, request.reg, 0, request.master});
      jobs_[job] = {request, {{*id, std::move(answer)}}};
      requests_[*id] = job;
      reads_[request.reg] = job;
      return std::nullopt;
    }
    case LineRequest::Kind::Write: {
      Job j{Job::Kind::Write, request.reg, request.value, request.master};
      if (request.after) {
        const auto before = requests_.find(request.after);
        // The write it comes after has ended: ended well, or this one would not be asked.
        if (before != requests_.end()) j.after = before->second;
      }
      const JobId job = submit_(j);
      jobs_[job] = {request, {{*id, std::move(answer)}}};
      requests_[*id] = job;
      return std::nullopt;
    }
  }
  return std::nullopt;
}

void LineService::forget(RequestId id) {
  const auto w = std::find_if(pollWaiters_.begin(), pollWaiters_.end(), [&](const Waiter& x) { return x.id == id; });
  if (w != pollWaiters_.end()) {
    pollWaiters_.erase(w);
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
  // end (Withdrawn) comes through jobEnded and finds no one to tell.
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
  // Every read and confirmed write keeps the image, whoever asked for it.
  const bool read = end.kind == ExchangeKind::ListRead || end.kind == ExchangeKind::Read;
  const bool write = end.kind == ExchangeKind::ListWrite || end.kind == ExchangeKind::Write;
  if (end.ok && end.reg && (read || write)) image_[*end.reg] = {end.value, end.time};
  const auto p = jobs_.find(end.id);
  if (p == jobs_.end()) return;
  Pending pending = std::move(p->second);
  jobs_.erase(p);
  if (pending.request.kind == LineRequest::Kind::Read) {
    const auto r = reads_.find(pending.request.reg);
    if (r != reads_.end() && r->second == end.id) reads_.erase(r);
  }
  answerAll(std::move(pending.waiters), answer);
}

std::optional<ListJob> LineService::nextJob(std::int64_t now) {
  for (auto f = fresh_.begin(); f != fresh_.end();) f = f->second < now ? fresh_.erase(f) : std::next(f);
  // The list's rows and the registers kept fresh take turns.
  const bool listFirst = listTurn_ || fresh_.empty();
  listTurn_ = !listTurn_;
  if (listFirst && list_) {
    if (auto job = list_->nextJob(now)) {
      lastFromList_ = true;
      return job;
    }
  }
  if (fresh_.empty()) return std::nullopt;
  auto next = freshCursor_ ? fresh_.upper_bound(*freshCursor_) : fresh_.begin();
  if (next == fresh_.end()) next = fresh_.begin();
  freshCursor_ = next->first;
  lastFromList_ = false;
  ListJob job;
  job.reg = next->first;
  return job;
}

void LineService::jobEnded(const ListJob& job, const ListResult& result, std::int64_t now) {
  if (lastFromList_ && list_) list_->jobEnded(job, result, now);
}

}  // namespace varnak::share
