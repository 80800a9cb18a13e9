-- Driven by lsp_neovim_test.sh: opens the route description given in
-- LSP_TEST_FILE (Windows-1252) with the language server in LSP_TEST_CMD
-- (words split by blanks), waits for the planted unknown-row warning, then
-- fixes the row and times how long the cleared diagnostics take.
local file = os.getenv("LSP_TEST_FILE")
local cmd = vim.split(os.getenv("LSP_TEST_CMD"), " ", { trimempty = true })

local function finish(code, text)
  io.stdout:write(text .. "\n")
  io.stdout:flush()
  os.exit(code)
end

if not (vim.lsp and vim.lsp.start_client and vim.diagnostic) then
  finish(77, "SKIPPED: this Neovim has no vim.lsp.start_client or vim.diagnostic")
end

vim.cmd("edit ++enc=cp1252 " .. vim.fn.fnameescape(file))
local buf = vim.api.nvim_get_current_buf()
local client = vim.lsp.start_client({
  cmd = cmd,
  root_dir = vim.fn.fnamemodify(file, ":p:h"),
  flags = { debounce_text_changes = 0 },
})
if not client then finish(1, "FAIL: the server did not start") end
vim.lsp.buf_attach_client(buf, client)

local function unknown_rows()
  local found = {}
  for _, d in ipairs(vim.diagnostic.get(buf)) do
    if d.code == "unknown-row" then table.insert(found, d) end
  end
  return found
end

if not vim.wait(10000, function() return #unknown_rows() > 0 end, 5) then
  finish(1, "FAIL: no unknown-row diagnostic within 10 s")
end
local d = unknown_rows()[1]
local line = vim.api.nvim_buf_get_lines(buf, d.lnum, d.lnum + 1, false)[1]
local word = line:sub(d.col + 1, d.end_col)
if word ~= "pendenxa" or d.severity ~= vim.diagnostic.severity.WARN then
  finish(1, string.format("FAIL: diagnostic at %d:%d-%d covers %q (severity %d)", d.lnum, d.col,
    d.end_col, word, d.severity))
end
io.stdout:write(string.format("diagnostic: line %d, column %d: %s\n", d.lnum + 1, d.col + 1,
  d.message))

-- The fix, timed from the change to the cleared diagnostics.
local fixed = line:sub(1, d.col) .. "pendenza" .. line:sub(d.end_col + 1)
local start = vim.loop.hrtime()
vim.api.nvim_buf_set_lines(buf, d.lnum, d.lnum + 1, false, { fixed })
if not vim.wait(10000, function() return #unknown_rows() == 0 end, 1) then
  finish(1, "FAIL: the fix did not clear the diagnostic within 10 s")
end
local ms = (vim.loop.hrtime() - start) / 1e6
vim.lsp.stop_client(client)
finish(0, string.format("PASS: diagnostics cleared %.1f ms after the change", ms))
