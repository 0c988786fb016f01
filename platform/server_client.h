// The database server's client object: connect with a connection string, open objects of a
// server class by id, read their properties and call their methods by name.
#pragma once

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>

namespace quorel::platform {

// Every failure a client reports. what() is UTF-8 text for the user, in the server's words
// where the server gave any.
class ServerError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// An open or a call on a client object that is not connected.
class NotConnectedError : public ServerError {
 public:
  using ServerError::ServerError;
};
// No object of the class has the id.
class ObjectNotFoundError : public ServerError {
 public:
  using ServerError::ServerError;
};
// The object has no property of that name.
class PropertyNotFoundError : public ServerError {
 public:
  using ServerError::ServerError;
};

// An opened server object. Destroying it releases it.
class ServerObject {
 public:
  virtual ~ServerObject() = default;
  virtual std::u16string Property(std::u16string_view name) = 0;
  virtual void Call(std::u16string_view method) = 0;
};

// One client object.
class ServerClient {
 public:
  virtual ~ServerClient() = default;
  virtual bool Connect(std::u16string_view connectString) = 0;
  // What the client runs while a connect waits for the network (name lookup, server), so that
  // the windows go on processing events: it processes what is pending and returns at once.
  // A client that never waits long may ignore it.
  virtual void SetWhileWaiting(const std::function<void()>& /*whileWaiting*/) {}
  virtual bool IsConnected() = 0;
  // Why the last connect failed, or why is-connected last found the connection gone, as UTF-8
  // text for whoever looks after the program (the user is told only that the server cannot be
  // reached); empty when the client cannot tell.
  virtual std::string LastError() const { return {}; }
  virtual void Disconnect() = 0;
  virtual std::unique_ptr<ServerObject> OpenId(std::u16string_view className,
                                               std::u16string_view id) = 0;
};

// Creates client objects; failing to create one (client library missing) throws ServerError.
class ServerClientFactory {
 public:
  virtual ~ServerClientFactory() = default;
  virtual std::unique_ptr<ServerClient> Create() = 0;
};

}  // namespace quorel::platform
