-- Driven by readme_neovim_test.sh, after the README's lines ran as init.lua:
-- opens the route and the train description of LSP_TEST_DIR and checks what
-- the lines promise.
local dir = os.getenv("LSP_TEST_DIR")

local function finish(code, text)
  io.stdout:write(text .. "\n")
  io.stdout:flush()
  os.exit(code)
end
local function check(ok, text)
  if not ok then finish(1, "FAIL: " .. text) end
end

vim.cmd("edit " .. vim.fn.fnameescape(dir .. "/BRENTALVO_linea.txt"))
local route = vim.api.nvim_get_current_buf()
vim.cmd("split " .. vim.fn.fnameescape(dir .. "/BRENTALVO_TRN4417-.txt"))
local train = vim.api.nvim_get_current_buf()

-- Read as Windows-1252: the degree sign (byte B0) of the signs is a degree
-- sign, and it is written back as one byte.
check(vim.bo[route].fileencoding == "cp1252",
  "the route is read as " .. vim.bo[route].fileencoding .. ", not cp1252")
local lines = vim.api.nvim_buf_get_lines(route, 0, -1, false)
local degree = nil
for i, line in ipairs(lines) do
  if line:find("\194\176", 1, true) then degree = i break end
end
check(degree ~= nil, "no degree sign in the route as read")
check(vim.o.fileencodings == "ucs-bom,utf-8,default,latin1",
  "other files are read as " .. vim.o.fileencodings)

-- One server for the pair.
check(vim.wait(10000, function()
  return #vim.lsp.buf_get_clients(route) == 1 and #vim.lsp.buf_get_clients(train) == 1
end, 10), "the descriptions have no server after 10 s: " .. vim.inspect({ #vim.lsp.buf_get_clients(route), #vim.lsp.buf_get_clients(train) }))
check(#vim.lsp.get_active_clients() == 1,
  #vim.lsp.get_active_clients() .. " servers for the route and the train")
local client = vim.lsp.buf_get_clients(route)
local id = next(client)
check(vim.lsp.buf_get_clients(train)[id] ~= nil, "the route and the train have different servers")

-- K asks the server for the hover; omnifunc asks it for completion.
local k = vim.fn.maparg("K", "n", false, true)
check(k.buffer == 1, "K is not set for the description")
check(vim.bo[route].omnifunc == "v:lua.vim.lsp.omnifunc", "no completion by the server")

vim.api.nvim_set_current_buf(route)
local params = {
  textDocument = { uri = vim.uri_from_bufnr(route) },
  position = { line = degree - 1, character = 0 },
}
local hover = vim.lsp.buf_request_sync(route, "textDocument/hover", params, 10000)
local said = hover and hover[id] and hover[id].result
check(said ~= nil and said.contents ~= nil, "no hover for line " .. degree)
params.position.character = 0
local completion = vim.lsp.buf_request_sync(route, "textDocument/completion", params, 10000)
local result = completion and completion[id] and completion[id].result
local items = result and (result.items or result) or {}
check(#items > 0, "no completion on line " .. degree)

vim.lsp.stop_client(id)
finish(0, "PASS: one server for the pair, read as cp1252, hover and completion by the keys set")
