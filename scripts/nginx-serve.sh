#!/usr/bin/env bash
# Serves a folder with nginx on 127.0.0.1 from a generated configuration:
#   bash scripts/nginx-serve.sh PREFIX ROOT PORT [RATE]
# RATE (nginx's limit_rate, as "125m") caps every answer's bytes per second.
# PREFIX receives the configuration, the pid file and the logs (the requests
# in PREFIX/logs/access.log). Stop it with
#   nginx -p PREFIX -c PREFIX/nginx.conf -s stop
set -euo pipefail
prefix=$1
root=$2
port=$3
rate_line=""
[ -n "${4:-}" ] && rate_line="limit_rate $4;"
mkdir -p "$prefix/logs"
user_line=""
[ "$(id -u)" = 0 ] && user_line="user root;"
cat > "$prefix/nginx.conf" <<CONF
$user_line
worker_processes 1;
pid $prefix/nginx.pid;
error_log $prefix/logs/error.log;
events { worker_connections 64; }
http {
  access_log $prefix/logs/access.log;
  sendfile on;
  client_body_temp_path $prefix/body;
  proxy_temp_path $prefix/proxy;
  fastcgi_temp_path $prefix/fastcgi;
  uwsgi_temp_path $prefix/uwsgi;
  scgi_temp_path $prefix/scgi;
  types { application/octet-stream pkg rxml; }
  server {
    listen 127.0.0.1:$port;
    root $root;
    $rate_line
  }
}
CONF
nginx -p "$prefix" -c "$prefix/nginx.conf"
